#include "core/language_file.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "platform/fonts.h"
#include "platform/path.h"

namespace tallow {

namespace {

// Header layout.
constexpr std::uint32_t kMagic = 0x5851574Cu;  // "LWQX" read as a little-endian u32
constexpr std::size_t kVersionOffset = 4;
constexpr std::size_t kFirstSectionOffset = 136;
constexpr std::size_t kBodySizeOffset = 140;
constexpr std::size_t kSectionMaskOffset = 144;

// Section layout.
constexpr std::size_t kSectionTypeOffset = 0;
constexpr std::size_t kSectionHeaderSizeOffset = 4;
constexpr std::size_t kSectionDataSizeOffset = 8;
constexpr std::uint32_t kMinSectionHeaderSize = 16;
constexpr std::size_t kCharsetOffset = 16;
constexpr std::size_t kTableFormatOffset = 20;
constexpr std::size_t kEntryCountOffset = 24;
// The string section's header must hold the three fields above.
constexpr std::uint32_t kStringSectionHeaderSize = 28;
constexpr std::uint32_t kStringSectionType = 1;

// Entry layout.
constexpr std::size_t kEntryKindOffset = 4;
constexpr std::size_t kEntryFlagsOffset = 6;
constexpr std::size_t kEntryExtraSizeOffset = 8;
constexpr std::size_t kEntryTextSizeOffset = 10;
constexpr std::uint32_t kEntryHeaderSize = 12;
constexpr std::uint32_t kMinExtraSize = 2;  // holds the hotkey

// Room a built text needs beyond the entry's own characters: one inserted
// "&", or "(&X)", plus " ...:".
constexpr std::size_t kBuildSlack = 9;

// The file's fields are little-endian and not aligned: read them bytewise.
std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint32_t BodySize(const std::uint8_t* header) { return ReadU32(header + kBodySizeOffset); }
std::uint32_t SectionMask(const std::uint8_t* header) { return ReadU32(header + kSectionMaskOffset); }

std::uint32_t SectionHeaderSize(const std::uint8_t* s) { return ReadU32(s + kSectionHeaderSizeOffset); }
std::uint32_t SectionDataSize(const std::uint8_t* s) { return ReadU32(s + kSectionDataSizeOffset); }
std::uint32_t EntryCount(const std::uint8_t* s) { return ReadU32(s + kEntryCountOffset); }

std::uint32_t EntryExtraSize(const std::uint8_t* e) { return ReadU16(e + kEntryExtraSizeOffset); }
std::uint32_t EntryTextSize(const std::uint8_t* e) { return ReadU16(e + kEntryTextSizeOffset); }
std::uint32_t EntrySize(const std::uint8_t* e) {
  return kEntryHeaderSize + EntryExtraSize(e) + EntryTextSize(e);
}

bool LrcCheckHeader(const std::uint8_t* header, std::uint32_t fileSize) {
  if (ReadU32(header) != kMagic) return false;
  if (ReadU32(header + kFirstSectionOffset) != kLrcHeaderSize) return false;
  const std::uint32_t body = BodySize(header);
  if (static_cast<std::uint64_t>(body) + kLrcHeaderSize != fileSize) return false;
  if (body != 0 && SectionMask(header) == 0) return false;
  return true;
}

// The body has already been found to fill the file exactly (LrcCheckHeader),
// so every section that fits in the remaining body lies inside the buffer.
bool LrcCheckSections(const std::uint8_t* header) {
  const std::uint32_t mask = SectionMask(header);
  int n = std::popcount(mask);
  std::uint64_t remaining = BodySize(header);
  std::uint32_t uncovered = mask;
  const std::uint8_t* section = header + kLrcHeaderSize;
  while (uncovered != 0) {
    // Too little left for a section header: no valid section can follow.
    if (remaining < kMinSectionHeaderSize) return false;
    const std::uint32_t headerSize = SectionHeaderSize(section);
    const std::uint32_t dataSize = SectionDataSize(section);
    const std::uint64_t size = static_cast<std::uint64_t>(headerSize) + dataSize;
    if (size > remaining) return false;
    remaining -= size;
    if (headerSize < kMinSectionHeaderSize || dataSize == 0) return false;
    const std::uint32_t type = ReadU32(section + kSectionTypeOffset);
    if (std::popcount(type) != 1) return false;
    if (type == kStringSectionType) {
      if (headerSize < kStringSectionHeaderSize) return false;
      if (!IsCharsetAvailable(ReadU32(section + kCharsetOffset))) return false;
      if (ReadU32(section + kTableFormatOffset) != 1) return false;
      if (EntryCount(section) == 0) return false;
    }
    uncovered &= ~type;
    --n;
    section += size;
  }
  return n == 0 && remaining == 0;
}

// Only after LrcCheckSections passed.
const std::uint8_t* LrcFindStringSection(const std::uint8_t* header) {
  const int n = std::popcount(SectionMask(header));
  const std::uint8_t* section = header + kLrcHeaderSize;
  for (int i = 0; i < n; ++i) {
    if (ReadU32(section + kSectionTypeOffset) == kStringSectionType) return section;
    section += static_cast<std::size_t>(SectionHeaderSize(section)) + SectionDataSize(section);
  }
  return nullptr;
}

// Besides the sizes, every text must hold its terminating 0 character, so
// that no text is read past its own end.
bool LrcCheckStringTable(const std::uint8_t* section) {
  std::uint64_t remaining = SectionDataSize(section);
  const std::uint32_t count = EntryCount(section);
  const std::uint8_t* entry = section + SectionHeaderSize(section);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (remaining < kEntryHeaderSize) return false;
    const std::uint32_t size = EntrySize(entry);
    if (size > remaining) return false;
    remaining -= size;
    const std::uint32_t extraSize = EntryExtraSize(entry);
    const std::uint32_t textSize = EntryTextSize(entry);
    if (textSize == 0 || (textSize & 1) != 0 || extraSize < kMinExtraSize) return false;
    const std::uint8_t* text = entry + kEntryHeaderSize + extraSize;
    bool terminated = false;
    for (std::uint32_t k = 0; k < textSize && !terminated; k += 2) {
      terminated = ReadU16(text + k) == 0;
    }
    if (!terminated) return false;
    entry += size;
  }
  return remaining == 0;
}

// Only on an entry that LrcCheckStringTable accepted.
LrcText LrcBuildEntryText(const std::uint8_t* entry) {
  const auto kind = static_cast<std::int16_t>(ReadU16(entry + kEntryKindOffset));
  const std::uint8_t flags = entry[kEntryFlagsOffset];
  const std::uint32_t extraSize = EntryExtraSize(entry);
  const std::size_t units = EntryTextSize(entry) / 2;
  const char16_t hotkey = ReadU16(entry + kEntryHeaderSize);
  const std::uint8_t* textBytes = entry + kEntryHeaderSize + extraSize;
  auto at = [textBytes](std::size_t i) -> char16_t { return ReadU16(textBytes + 2 * i); };

  LrcText out(new (std::nothrow) char16_t[units + kBuildSlack]());
  if (!out) {
    SetLastError(ERROR_OUTOFMEMORY);
    return nullptr;
  }

  std::size_t length = 0;
  while (at(length) != 0) ++length;

  char16_t mark = 0;         // X: the upper-case hotkey
  char16_t alternative = 0;  // L: its lower-case form
  bool insertionAllowed = false;
  if ((flags & kLrcMarkHotkey) && hotkey != 0) {
    mark = static_cast<char16_t>(std::towupper(hotkey));
    if (!(flags & kLrcHotkeyInParentheses)) {
      alternative = static_cast<char16_t>(std::towlower(hotkey));
      insertionAllowed = true;
    }
  }

  std::size_t scanEnd = 0;
  if (length > 0) {
    scanEnd = length;
    if (kind == kLrcKindMenuItem) {
      for (std::size_t i = 0; i < length; ++i) {
        if (at(i) == u'\t') {
          scanEnd = i;
          break;
        }
      }
    }
    // A "&" of the text's own means the text marks its hotkey itself; the
    // upper-case form wins over the lower-case one.
    for (std::size_t i = 0; i < scanEnd; ++i) {
      const char16_t c = at(i);
      if (c == u'&') {
        mark = 0;
        alternative = 0;
        insertionAllowed = false;
      } else if (mark != 0 && c == mark) {
        alternative = 0;
      }
    }
  }

  std::size_t o = 0;
  for (std::size_t i = 0; i < scanEnd; ++i) {
    const char16_t c = at(i);
    if (insertionAllowed && (c == mark || (alternative != 0 && c == alternative))) {
      out[o++] = u'&';
      mark = 0;
      alternative = 0;
      insertionAllowed = false;
    }
    out[o++] = c;
  }
  if (mark != 0) {
    out[o++] = u'(';
    out[o++] = u'&';
    out[o++] = mark;
    out[o++] = u')';
  }
  if (flags & kLrcAppendSpace) out[o++] = u' ';
  if (flags & kLrcAppendEllipsis) {
    for (int k = 0; k < 3; ++k) out[o++] = u'.';
  }
  if (flags & kLrcAppendColon) out[o++] = u':';
  for (std::size_t i = scanEnd; i < length; ++i) out[o++] = at(i);
  out[o] = 0;
  return out;
}

// Sections, string section and string table; on failure ERROR_HANDLE_EOF.
bool LrcCheckBody(LrcFile& file) {
  const std::uint8_t* header = file.buffer.get();
  const std::uint8_t* strings = nullptr;
  if (!LrcCheckSections(header) || !(strings = LrcFindStringSection(header)) ||
      !LrcCheckStringTable(strings)) {
    SetLastError(ERROR_HANDLE_EOF);
    return false;
  }
  file.stringSection = strings;
  return true;
}

// Reads |want| bytes; false with the reason in the last error.
bool ReadExactly(std::FILE* f, std::uint8_t* to, std::size_t want) {
  errno = 0;
  std::size_t got = std::fread(to, 1, want, f);
  if (got == want) return true;
  if (std::ferror(f)) {
    SetLastError(errno != 0 ? Win32ErrorFromErrno(errno) : ERROR_READ_FAULT);
  } else {
    SetLastError(ERROR_HANDLE_EOF);
  }
  return false;
}

bool AllocateBuffer(LrcFile& file, std::uint64_t size) {
  if (size > kLrcMaxFileSize) {
    SetLastError(ERROR_OUTOFMEMORY);
    return false;
  }
  file.buffer.reset(new (std::nothrow) std::uint8_t[size]);
  if (!file.buffer) {
    SetLastError(ERROR_OUTOFMEMORY);
    return false;
  }
  file.fileSize = static_cast<std::uint32_t>(size);
  file.header = file.buffer.get();
  return true;
}

bool LrcLoadFile(const char16_t* path, LrcFile& file) {
  const std::string native = NativePath(path);
  // Only a plain file is a language file; opening anything else (a folder, a
  // pipe) could block or read forever.
  std::error_code ec;
  const auto status = std::filesystem::status(native, ec);
  if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  std::FILE* f = std::fopen(native.c_str(), "rb");
  if (!f) {
    SetLastError(Win32ErrorFromErrno(errno));
    return false;
  }
  bool ok = false;
  do {
    const std::uintmax_t size = std::filesystem::file_size(native, ec);
    if (ec) {
      SetLastError(Win32ErrorFromErrno(ec.value()));
      break;
    }
    if (size < kLrcHeaderSize) {
      SetLastError(ERROR_HANDLE_EOF);
      break;
    }
    if (!AllocateBuffer(file, size)) break;
    if (!ReadExactly(f, file.buffer.get(), kLrcHeaderSize)) break;
    if (!LrcCheckHeader(file.header, file.fileSize)) break;
    if (file.fileSize == kLrcHeaderSize) {
      ok = true;
      break;
    }
    if (!ReadExactly(f, file.buffer.get() + kLrcHeaderSize, file.fileSize - kLrcHeaderSize)) break;
    ok = LrcCheckBody(file);
  } while (false);
  std::fclose(f);
  if (!ok) {
    file.buffer.reset();
    file.header = nullptr;
    file.stringSection = nullptr;
  }
  return ok;
}

char16_t* AppendDecimalByte(char16_t* out, std::uint8_t value) {
  if (value >= 100) *out++ = static_cast<char16_t>(u'0' + value / 100);
  if (value >= 10) *out++ = static_cast<char16_t>(u'0' + value / 10 % 10);
  *out++ = static_cast<char16_t>(u'0' + value % 10);
  *out = 0;
  return out;
}

LrcFilePtr NewRecord() {
  LrcFilePtr file(new (std::nothrow) LrcFile());
  if (!file) SetLastError(ERROR_OUTOFMEMORY);
  return file;
}

}  // namespace

LrcFilePtr LrcOpen(const char16_t* path) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  LrcFilePtr file = NewRecord();
  if (!file || !LrcLoadFile(path, *file)) return nullptr;
  return file;
}

LrcFilePtr LrcOpenMemory(const std::uint8_t* data, std::size_t size) {
  if (!data && size != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (size < kLrcHeaderSize) {
    SetLastError(ERROR_HANDLE_EOF);
    return nullptr;
  }
  LrcFilePtr file = NewRecord();
  if (!file || !AllocateBuffer(*file, size)) return nullptr;
  std::memcpy(file->buffer.get(), data, size);
  if (!LrcCheckHeader(file->header, file->fileSize)) return nullptr;
  if (file->fileSize == kLrcHeaderSize) return file;
  if (!LrcCheckBody(*file)) return nullptr;
  return file;
}

LrcText LrcFindString(LrcFile* file, std::uint32_t id) {
  if (!file) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::uint8_t* section = file->stringSection;
  if (!section) return nullptr;
  const std::uint32_t count = EntryCount(section);
  const std::uint8_t* entry = section + SectionHeaderSize(section);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (ReadU32(entry) == id) return LrcBuildEntryText(entry);
    entry += EntrySize(entry);
  }
  file->flags |= kLrcIncomplete;
  return nullptr;
}

LrcText LrcGetVersionText(const LrcFile* file) {
  // "255.255.255.255 !" and its NUL.
  constexpr std::size_t kVersionTextUnits = 18;
  LrcText text(new (std::nothrow) char16_t[kVersionTextUnits]());
  if (!text) {
    SetLastError(ERROR_OUTOFMEMORY);
    return nullptr;
  }
  if (!file) {
    text[0] = u'-';
    return text;
  }
  char16_t* out = text.get();
  for (std::size_t i = 0; i < 4; ++i) {
    if (i > 0) *out++ = u'.';
    out = AppendDecimalByte(out, file->header[kVersionOffset + i]);
  }
  if (file->flags & kLrcIncomplete) {
    *out++ = u' ';
    *out++ = u'!';
  }
  return text;
}

BOOL IsCharsetAvailable(std::uint32_t charset) {
  return FindFontForCharset(static_cast<std::uint8_t>(charset & 0xFF)) != FontAnswer::kNotFound
             ? TRUE
             : FALSE;
}

}  // namespace tallow
