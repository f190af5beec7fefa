// Small path, time-stamp and text helpers that several areas share.
#pragma once

#include <cstdint>
#include <string>

#include "platform/library.h"
#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

// Local time of |*time| (seconds since 1970-01-01 UTC) as "%Y%m%d%H%M%S",
// e.g. 20261209084640; empty when |time| is null or the time cannot be
// converted.
WString FormatFileTimeStamp(const std::int64_t* time);

// The full path of |module|'s file (nullptr: the program file). The buffer
// grows from 260 units by doubling while the path may have been cut, up to
// 65535 units.
HRESULT GetModuleFilePath(WString& out, HMODULE module = nullptr);

// An existing folder stays as it is; otherwise the path is cut before its
// last separator. E_FAIL, text unchanged, without a separator.
HRESULT TruncateToFolder(WString& path);

// An existing folder gives the empty text; otherwise everything up to and
// including the last separator goes. E_FAIL, text unchanged, without one.
HRESULT GetFileNamePart(WString& path);

// Conversions between wide and ANSI text, up to the first NUL; a null or
// empty input gives the empty string.
std::string WideToAnsi(const char16_t* wide);
WString AnsiToWide(const char* ansi);

}  // namespace tallow
