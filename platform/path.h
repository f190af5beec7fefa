// File-system naming of this platform: where the other system writes "\" and
// names a library "x.dll", this one writes "/" and "x.so".
#pragma once

#include "platform/text.h"

namespace tallow {

inline constexpr char16_t kPathSeparator = u'/';
inline constexpr char kPathSeparatorA = '/';

// "name.dll" (any case) becomes "name.so"; other names are left alone.
WString MapLibraryName(WStringView name);

// Full path of the running program's file, and its folder (no separator at
// the end). The folder is where the program looks for its libraries and
// keeps its working and settings folders.
WString ProgramFilePath();
WString ProgramFolder();

// Tests give the program a file in a folder of their own, so that what it
// keeps beside itself lands there; an empty path restores the real one.
void SetProgramFilePathForTests(WString path);

// Native (8-bit) form of a wide path, for the C library's calls.
inline std::string NativePath(WStringView path) { return ToAnsi(path); }

}  // namespace tallow
