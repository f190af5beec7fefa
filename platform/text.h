// Wide text is UTF-16; "ANSI" text is the locale's 8-bit encoding, UTF-8 on
// this platform. Every conversion between the two lives here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tallow {

using WString = std::u16string;
using WStringView = std::u16string_view;
using WStringList = std::vector<WString>;

// Malformed input never fails a conversion: an unpaired surrogate or an
// invalid byte sequence becomes U+FFFD.
std::string ToAnsi(WStringView wide);
WString FromAnsi(std::string_view ansi);

// Length of a NUL-terminated wide string.
std::size_t WideLength(const char16_t* s);

// Copies |src| into a fixed field of |capacity| units (the NUL included),
// cutting it to capacity - 1 units without splitting a surrogate pair.
void CopyToField(char16_t* field, std::size_t capacity, WStringView src);
void CopyToField(char* field, std::size_t capacity, std::string_view src);

// printf-style formatting into 8-bit text.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Lower-case / upper-case of ASCII letters only, as the ANSI case-blind
// compares of file names need.
WString AsciiLower(WStringView s);

}  // namespace tallow
