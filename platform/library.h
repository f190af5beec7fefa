// Loading shared libraries by name at run time.
#pragma once

#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

using HMODULE = void*;
using FARPROC = void*;

// A bare name is looked for in the program's folder first (ignoring case, as
// the other system's file names do), then on the system's library search
// path; a name with a folder is loaded from there. "x.dll" means "x.so".
// NULL on failure, with ERROR_MOD_NOT_FOUND or ERROR_BAD_EXE_FORMAT kept as
// the last error.
HMODULE LoadLibraryW(const char16_t* name);
BOOL FreeLibrary(HMODULE module);
// NULL with ERROR_PROC_NOT_FOUND when the module does not export |name|.
FARPROC GetProcAddress(HMODULE module, const char* name);

}  // namespace tallow
