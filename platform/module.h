// The file behind a loaded module, with the other system's buffer rules.
#pragma once

#include <functional>

#include "platform/library.h"
#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

// Copies the full path of |module|'s file (nullptr: the program file) into
// |buffer| of |size| units and returns its length without the NUL. A path
// that does not fit is cut to size - 1 units and NUL-terminated, the result
// is |size| and the last error ERROR_INSUFFICIENT_BUFFER. 0 on failure, with
// the last error set.
DWORD GetModuleFileNameW(HMODULE module, char16_t* buffer, DWORD size);

// Tests may give the path of every module themselves; an empty result
// stands for a module whose path cannot be had. An empty function restores
// the real one.
void SetModuleFileNameSourceForTests(std::function<WString(HMODULE)> source);

}  // namespace tallow
