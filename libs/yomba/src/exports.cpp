// The library's three entries. A search reads its configuration from the
// environment each time, so a changed setting counts from the next search.
#include <cstdlib>
#include <new>

#include "answer.h"
#include "search.h"

#define YOMBA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

VktMfpAddress* Detect(std::uint32_t* count, std::uint32_t port) {
  if (count) *count = 0;
  if (!count || port == 0 || port > 65535) return nullptr;
  try {
    std::vector<yomba::Found> found =
        yomba::Search(static_cast<std::uint16_t>(port),
                      yomba::SearchAddresses(std::getenv("YOMBA_SEARCH_ADDRESSES")),
                      yomba::WaitMs(std::getenv("YOMBA_WAIT_MS")));
    if (found.empty()) return nullptr;
    auto* block = static_cast<VktMfpAddress*>(std::calloc(found.size(), sizeof(VktMfpAddress)));
    if (!block) return nullptr;
    for (std::size_t i = 0; i < found.size(); ++i) {
      yomba::FillRecord(block[i], found[i].address, found[i].name);
    }
    *count = static_cast<std::uint32_t>(found.size());
    return block;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

YOMBA_EXPORT VktMfpAddress* VKTGetDetectedMFPAddrSpecifyPortW(void* owner, std::int32_t flags,
                                                              std::uint32_t* count,
                                                              std::int32_t reserved,
                                                              std::uint32_t port) {
  (void)owner, (void)flags, (void)reserved;
  return Detect(count, port);
}

YOMBA_EXPORT VktMfpAddress* VKTGetDetectedMFPAddrW(void* owner, std::int32_t flags,
                                                   std::uint32_t* count, std::int32_t reserved) {
  (void)owner, (void)flags, (void)reserved;
  return Detect(count, yomba::DefaultSearchPort(std::getenv("YOMBA_SEARCH_PORT")));
}

YOMBA_EXPORT std::int32_t VKTFreeMFPAddrW(VktMfpAddress* block) {
  if (!block) return 0;
  std::free(block);
  return 1;
}
