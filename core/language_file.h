// The language file beside the program: a file format of our own that holds
// replacement texts by string id, each with a hotkey and decoration flags.
// The file is read whole and validated once; lookups walk its entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/result.h"

namespace tallow {

// Last-error values of the reader that the common set does not have.

inline constexpr std::uint32_t kLrcHeaderSize = 152;
// No real language file comes near this; a larger one is refused as if its
// buffer could not be had.
inline constexpr std::uint32_t kLrcMaxFileSize = 16u << 20;

// LrcFile::flags
inline constexpr std::uint32_t kLrcIncomplete = 0x1;  // some lookup missed

// Entry flags
inline constexpr std::uint8_t kLrcMarkHotkey = 0x01;
inline constexpr std::uint8_t kLrcAppendColon = 0x02;
inline constexpr std::uint8_t kLrcAppendEllipsis = 0x04;
inline constexpr std::uint8_t kLrcAppendSpace = 0x08;
inline constexpr std::uint8_t kLrcHotkeyInParentheses = 0x10;

// Entry kind whose text may carry a tail after a TAB (a menu accelerator).
inline constexpr std::int16_t kLrcKindMenuItem = 5;

struct LrcFile {
  const std::uint8_t* header = nullptr;         // start of buffer
  const std::uint8_t* stringSection = nullptr;  // null for a file without strings
  std::unique_ptr<std::uint8_t[]> buffer;       // the whole file
  std::uint32_t fileSize = 0;
  std::uint32_t flags = 0;
};

using LrcFilePtr = std::unique_ptr<LrcFile>;
// A NUL-terminated wide text that its receiver owns.
using LrcText = std::unique_ptr<char16_t[]>;

// Reads and validates the file; null on failure with the reason in the last
// error (GetLastError).
LrcFilePtr LrcOpen(const char16_t* path);
// The same checks on a file already in memory (the bytes are copied).
LrcFilePtr LrcOpenMemory(const std::uint8_t* data, std::size_t size);

// The display text of the first entry with |id|, or null. A miss marks the
// file incomplete, unless the file has no strings at all.
LrcText LrcFindString(LrcFile* file, std::uint32_t id);

// "a.b.c.d" of the file's version, with " !" when incomplete; "-" without a
// file. Null only when out of memory.
LrcText LrcGetVersionText(const LrcFile* file);

// Whether the display has a font of the GDI character set in |charset|'s low
// byte; TRUE when there is no font service to ask.
BOOL IsCharsetAvailable(std::uint32_t charset);

}  // namespace tallow
