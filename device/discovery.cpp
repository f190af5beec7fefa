#include "device/discovery.h"

#include <mutex>

namespace tallow {

namespace {

std::mutex g_mutex;
DiscoveryEntries g_entries;

template <typename Fn>
Fn As(FARPROC p) {
  return reinterpret_cast<Fn>(p);
}

WString FieldText(const char16_t* field, std::size_t units) {
  std::size_t n = 0;
  while (n < units && field[n] != u'\0') ++n;
  return WString(field, n);
}

}  // namespace

DiscoveryEntries DiscoveryEntriesFrom(FARPROC getDetected, FARPROC getDetectedSpecifyPort,
                                      FARPROC freeAddresses) {
  DiscoveryEntries e;
  e.getDetected = As<VKTGetDetectedMFPAddrWFn>(getDetected);
  e.getDetectedSpecifyPort = As<VKTGetDetectedMFPAddrSpecifyPortWFn>(getDetectedSpecifyPort);
  e.freeAddresses = As<VKTFreeMFPAddrWFn>(freeAddresses);
  return e;
}

bool BindDiscoveryEntries(const DiscoveryEntries& entries) {
  const bool usable =
      entries.freeAddresses && (entries.getDetected || entries.getDetectedSpecifyPort);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_entries = usable ? entries : DiscoveryEntries{};
  return usable;
}

void UnbindDiscoveryEntries() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_entries = DiscoveryEntries{};
}

bool DiscoveryTakesSearchPort() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_entries.getDetectedSpecifyPort != nullptr;
}

// A library that leaves a text without its NUL must not make us read into
// the next field or past the block.
WString RecordAddress(const VktMfpAddress& record) {
  return FieldText(record.address, VKT_MFP_ADDRESS_UNITS);
}

WString RecordName(const VktMfpAddress& record) {
  return FieldText(record.name, VKT_MFP_NAME_UNITS);
}

void DiscoverMfps(HWND owner, std::uint32_t searchPort, WStringList& names,
                  WStringList& addresses) {
  DiscoveryEntries e;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    e = g_entries;
  }
  std::uint32_t count = 0;
  VktMfpAddress* block = nullptr;
  if (e.getDetectedSpecifyPort) {
    block = e.getDetectedSpecifyPort(owner, 0, &count, 0, searchPort);
  } else if (e.getDetected) {
    block = e.getDetected(owner, 0, &count, 0);
  } else {
    return;
  }
  if (!block) return;

  // Should an allocation fail halfway, both lists go back to their old
  // length, so that entry i of each still describes the same MFP.
  const std::size_t oldNames = names.size(), oldAddresses = addresses.size();
  try {
    for (std::uint32_t i = 0; i < count; ++i) {
      names.push_back(RecordName(block[i]));
      addresses.push_back(RecordAddress(block[i]));
    }
  } catch (...) {
    names.resize(oldNames);
    addresses.resize(oldAddresses);
    if (e.freeAddresses) e.freeAddresses(block);
    throw;
  }
  if (e.freeAddresses) e.freeAddresses(block);
}

}  // namespace tallow
