// The part of the system registry that the system reads: the class key of a
// still-image device, "SYSTEM\CurrentControlSet\Control\Class\" followed by
// the device's internal name, under HKEY_LOCAL_MACHINE, and its text value
// "MatchingDeviceId" (the device's hardware id). Answered from the run-time
// registry of attached USB devices (contracts/usb_registry.h); every other
// key is missing.
#pragma once

#include <cstdint>

#include "platform/result.h"

namespace tallow {

struct RegistryKey;
using HKEY = RegistryKey*;
using LSTATUS = std::int32_t;
using REGSAM = DWORD;
using BYTE = std::uint8_t;

inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr DWORD REG_SZ = 1;

inline constexpr const char16_t* kDeviceClassKeyPrefix =
    u"SYSTEM\\CurrentControlSet\\Control\\Class\\";
inline constexpr const char16_t* kMatchingDeviceIdValue = u"MatchingDeviceId";

// ERROR_SUCCESS and a key to close with RegCloseKey, or ERROR_FILE_NOT_FOUND
// (no such key), ERROR_ACCESS_DENIED (a right other than reading asked for)
// or ERROR_INVALID_PARAMETER.
LSTATUS RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM rights,
                      HKEY* result);
// Reads a value: *type gets REG_SZ, and a text value is its UTF-16 units with
// a NUL, *size being in bytes. Without |data| only the size is given. A
// buffer too small gives ERROR_MORE_DATA with the size needed and leaves
// |data| alone. ERROR_FILE_NOT_FOUND for a value that the key lacks.
LSTATUS RegQueryValueExW(HKEY key, const char16_t* valueName, DWORD* reserved, DWORD* type,
                         BYTE* data, DWORD* size);
LSTATUS RegCloseKey(HKEY key);

}  // namespace tallow
