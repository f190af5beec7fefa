// The application's own profile, in place of the class library's profile
// operations: one INI file per process, named once at start-up, and the
// string and integer reads and writes on it (see platform/profile.h).
#pragma once

#include <cstdint>

#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

// Longest value a read returns, in UTF-16 units, as the class library's own
// read buffer allows.
inline constexpr std::size_t kAppProfileValueUnits = 4095;

// Empty (the start) means no file: reads give their defaults, writes fail
// with ERROR_INVALID_PARAMETER.
void SetAppProfilePath(WStringView path);
WString AppProfilePath();

// The stored value, or |defaultValue| (null: empty) without the file, the
// section or the key.
WString GetAppProfileString(const char16_t* section, const char16_t* entry,
                            const char16_t* defaultValue);
// The stored value as a decimal integer, modulo 2^32, or |defaultValue|.
std::uint32_t GetAppProfileInt(const char16_t* section, const char16_t* entry, int defaultValue);

// FALSE with the last error set when the file cannot be written.
BOOL WriteAppProfileString(const char16_t* section, const char16_t* entry, const char16_t* value);
// Written as signed decimal text.
BOOL WriteAppProfileInt(const char16_t* section, const char16_t* entry, int value);

}  // namespace tallow
