// Version blocks in the layout of the other system's version resource, and
// the queries on them. Only the running program has a block: the one its
// start-up registers; any other file answers that it has none.
//
// Layout: a tree of nodes, each 32-bit aligned:
//   u16 length (the node with its children, without trailing padding)
//   u16 value length (text: in UTF-16 units with the NUL; binary: in bytes)
//   u16 type (1 text, 0 binary)
//   key, UTF-16 with a NUL; padding to 32 bits; the value; padding; children.
// The root "VS_VERSION_INFO" holds a fixed-information value and the children
// "StringFileInfo" (string tables named by language and code page, in
// hexadecimal) and "VarFileInfo" (its "Translation": pairs of u16 language and
// code page).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/result.h"
#include "platform/text.h"

namespace tallow {


struct VersionString {
  WString name;
  WString value;
};

struct VersionStringTable {
  WString name;  // language and code page as eight hexadecimal digits
  std::vector<VersionString> strings;
};

struct VersionTranslation {
  std::uint16_t language;
  std::uint16_t codePage;
};

struct VersionBlockContents {
  std::uint16_t fileVersion[4] = {0, 0, 0, 0};
  std::uint16_t productVersion[4] = {0, 0, 0, 0};
  std::vector<VersionStringTable> stringTables;  // none: no "StringFileInfo"
  std::vector<VersionTranslation> translations;  // none: no "VarFileInfo"
};

// The block's bytes; empty when a node would exceed the 16-bit length field.
std::vector<std::uint8_t> BuildVersionBlock(const VersionBlockContents& contents);

// Size of |path|'s version block, 0 when it has none (ERROR_FILE_NOT_FOUND
// for a missing file, ERROR_RESOURCE_TYPE_NOT_FOUND otherwise). |handle|, when
// given, is set to 0.
DWORD GetFileVersionInfoSizeW(const char16_t* path, DWORD* handle);
// Copies the block into |data|. Unlike the other system, a |size| too small
// for the whole block fails (ERROR_INSUFFICIENT_BUFFER) instead of leaving a
// cut block whose lengths point past the buffer.
BOOL GetFileVersionInfoW(const char16_t* path, DWORD handle, DWORD size, void* data);
// Finds the node named by |subBlock| ("\" alone: the fixed information;
// "\StringFileInfo\000004B0\FileVersion"; names ignore case, "/" separates as
// well as "\"). |value| then points into |block| and |length| is the value
// length. |block| must come from GetFileVersionInfoW. A malformed block, or a
// text value without its NUL, answers FALSE.
BOOL VerQueryValueW(const void* block, const char16_t* subBlock, void** value,
                    std::uint32_t* length);

// The block the program's own file answers with from now on. Until one is
// registered, and after an empty one, the program has none.
void RegisterProgramVersionBlock(std::vector<std::uint8_t> block);

}  // namespace tallow
