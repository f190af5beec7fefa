// One registry entry file: parsed, and a valid entry written back and parsed
// again to the same fields.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/usb_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<tallow::UsbRegistryEntry> e = tallow::ParseUsbRegistryEntry(text);
  if (!e) return 0;
  if (tallow::Utf16Length(e->name).value_or(0) == 0) std::abort();
  std::optional<tallow::UsbRegistryEntry> again =
      tallow::ParseUsbRegistryEntry(tallow::FormatUsbRegistryEntry(*e));
  if (!again || again->name != e->name || again->description != e->description ||
      again->hardwareId != e->hardwareId || again->socketPath != e->socketPath ||
      again->lockPath != e->lockPath) {
    std::abort();
  }
  return 0;
}
