// The run-time registry of attached USB devices: a folder with one small
// text file per device, written by whoever attaches a device (the MFP
// simulator) and removed when it goes. The Still Image stand-in lists and
// opens devices from it; the registry stand-in answers "MatchingDeviceId"
// from it. Self-contained (standard library and POSIX only) so that the
// stand-in and the simulator can compile it in.
//
// Folder: $TALLOWMERE_USB_REGISTRY, else $XDG_RUNTIME_DIR/tallowmere-usb,
// else /tmp/tallowmere-usb-<uid>. Entry files end in ".device" and hold
// "key=value" lines (UTF-8):
//   name=<internal device name, 1 to 127 UTF-16 units>
//   description=<text shown to the user>
//   hardware-id=<the device's hardware id, may be empty>
//   socket=<absolute path of the device's Unix socket>
//   lock=<absolute path of the device's lock file>
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallow {

inline constexpr const char* kUsbRegistryEnv = "TALLOWMERE_USB_REGISTRY";
inline constexpr const char* kUsbEntrySuffix = ".device";
// Entry files above this are not read.
inline constexpr std::size_t kMaxUsbEntryBytes = 8192;
// Units of an internal name without its NUL.
inline constexpr std::size_t kMaxUsbNameUnits = 127;
// A Unix socket path must fit sockaddr_un.
inline constexpr std::size_t kMaxUsbSocketPath = 107;
// Entries read from one folder at most.
inline constexpr std::size_t kMaxUsbEntries = 256;

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

// UTF-16 units of UTF-8 |text|; nothing when it is not valid UTF-8.
std::optional<std::size_t> Utf16Length(std::string_view text);

}  // namespace tallow
