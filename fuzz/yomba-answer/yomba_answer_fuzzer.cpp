// The request id of the seeds is 0x01020304; every other id is refused
// before any field is read, so the fuzzer works on that one.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "answer.h"
#include "utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::uint32_t kId = 0x01020304;
  std::optional<yomba::Answer> a = yomba::ParseAnswer(data, size, kId);
  if (!a) return 0;
  if (a->address.size() > yomba::kMaxAddressBytes || a->name.size() > yomba::kMaxNameBytes ||
      a->httpPort == 0 || !standin::IsCleanUtf8(a->name)) {
    __builtin_trap();
  }
  VktMfpAddress record;
  yomba::FillRecord(record, a->address.empty() ? "127.0.0.1" : a->address, a->name);
  // Both texts end inside their fields.
  if (record.address[VKT_MFP_ADDRESS_UNITS - 1] != 0 || record.name[VKT_MFP_NAME_UNITS - 1] != 0) {
    __builtin_trap();
  }
  yomba::FoundSet set;
  set.Add(a->address, a->name);
  set.Sorted();
  return 0;
}
