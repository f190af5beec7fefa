// The one reader and writer of the run-time USB registry
// (contracts/usb_registry.h): the Still Image stand-in and the registry
// stand-in read it, the simulator writes it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/usb_registry.h"

namespace standin {

struct UsbRegistryEntry {
  std::string name;
  std::string description;
  std::string hardwareId;
  std::string socketPath;
  std::string lockPath;
};

// The registry folder (not created).
std::string UsbRegistryFolder();

// Nothing when |text| is no valid entry: a missing or over-long name, a
// name or description with control characters, a socket or lock path that
// is not absolute or too long. Unknown keys are passed over; a repeated key
// makes the entry invalid.
std::optional<UsbRegistryEntry> ParseUsbRegistryEntry(std::string_view text);
std::string FormatUsbRegistryEntry(const UsbRegistryEntry& entry);

// Every valid entry of |folder|, in name order of their files. Files that
// cannot be read or parsed are passed over.
std::vector<UsbRegistryEntry> ReadUsbRegistry(const std::string& folder);
// The entry of internal name |name| (compared exactly).
std::optional<UsbRegistryEntry> FindUsbRegistryEntry(const std::string& folder,
                                                     std::string_view name);

}  // namespace standin
