#include "platform/message_box.h"

#include <atomic>

namespace tallow {

namespace {
std::atomic<MessageBoxBackend*> g_backend{nullptr};
}  // namespace

void InstallMessageBoxBackend(MessageBoxBackend* backend) { g_backend.store(backend); }

int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT type) {
  MessageBoxBackend* backend = g_backend.load();
  if (!backend) return 0;
  return backend->Show(owner, text ? WStringView(text) : WStringView(),
                       caption ? WStringView(caption) : WStringView(), type);
}

}  // namespace tallow
