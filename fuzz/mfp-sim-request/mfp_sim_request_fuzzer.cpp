// Input: the request target ("/ScanBox.cgi?version=2") on the first line, the
// XML body after it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "box_service.h"
#include "faults.h"
#include "store.h"
#include "wire.h"

using namespace tallow::mfpsim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const StoreData sample = SampleStore();
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t nl = input.find('\n');
  std::string_view target = input.substr(0, nl);
  std::string_view body = nl == std::string_view::npos ? std::string_view{} : input.substr(nl + 1);

  // A fresh store each time: a DELETE must not change the next run.
  Store store(sample);
  BoxService service(store);
  BoxExchange ex = service.Read(ParseQuery(target), body);
  service.Answer(ex);
  if (ex.reply.empty() || ex.logLine.empty()) __builtin_trap();

  // The fault lines of the control endpoint come from outside too.
  std::string error;
  ParseFaults(input, error);
  return 0;
}
