// One registry entry file: parsed, and a valid entry written back and parsed
// again to the same fields.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "usb_registry.h"
#include "utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<standin::UsbRegistryEntry> e = standin::ParseUsbRegistryEntry(text);
  if (!e) return 0;
  if (standin::Utf16Length(e->name).value_or(0) == 0) std::abort();
  std::optional<standin::UsbRegistryEntry> again =
      standin::ParseUsbRegistryEntry(standin::FormatUsbRegistryEntry(*e));
  if (!again || again->name != e->name || again->description != e->description ||
      again->hardwareId != e->hardwareId || again->socketPath != e->socketPath ||
      again->lockPath != e->lockPath) {
    std::abort();
  }
  return 0;
}
