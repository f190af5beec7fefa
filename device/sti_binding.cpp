#include "device/sti_binding.h"

#include <atomic>

namespace tallow {

namespace {
std::atomic<StiCreateInstanceWFn> g_entry{nullptr};
}

void BindStiCreateInstance(FARPROC entry) {
  g_entry.store(reinterpret_cast<StiCreateInstanceWFn>(entry));
}

StiCreateInstanceWFn BoundStiCreateInstance() { return g_entry.load(); }

}  // namespace tallow
