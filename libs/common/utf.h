// UTF-8 and UTF-16 for the stand-ins: the libraries take and hand out
// UTF-16 and read and write UTF-8 files, sockets and datagrams. The
// program's own conversions (platform/text.cpp) are these too, so that both
// sides of the exports treat malformed text alike.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace standin {

// Malformed input never fails these: an unpaired surrogate or an invalid
// byte becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// The UTF-16 units of |text|; nothing when it is not strict UTF-8 (no
// overlong forms, surrogates or values past U+10FFFF, nothing cut short).
std::optional<std::size_t> Utf16Length(std::string_view text);
// A C0 control character or DEL anywhere in |text|.
bool HasControl(std::string_view text);
// Strict UTF-8 without a control character: text fit to be shown.
bool IsCleanUtf8(std::string_view text);

// Copies |text| into a fixed field of |capacity| units (the NUL included),
// cut to capacity - 1 units without splitting a surrogate pair.
void CopyToField(char16_t* field, std::size_t capacity, std::u16string_view text);

}  // namespace standin
