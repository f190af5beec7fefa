// INI ("private profile") files in the manner of the other system's profile
// functions: "[section]" headers and "key=value" lines, sections and keys
// matched ignoring case, blanks around names and values trimmed.
//
// A settings file is untrusted input: files over kMaxProfileFileSize are not
// read (nor rewritten), lines over kMaxProfileLineLength never match. A write
// replaces the file in one step (a new file in the same folder, renamed over
// the old one); a new file is readable by its owner only.
//
// Encoding: UTF-8, with or without a byte-order mark; UTF-16 with a mark
// (either byte order). A file is written back in its own encoding, mark
// included; a new file is UTF-8 without a mark. Lines that a write does not
// change are written back as they were; blank lines are dropped; lines end
// with CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

inline constexpr std::size_t kMaxProfileFileSize = 1u << 20;  // bytes
inline constexpr std::size_t kMaxProfileLineLength = 32767;   // UTF-16 units


// Copies the value of |key| in |section| into |buffer| (|size| units, the NUL
// included), cut to size - 1 units; without the file, section or key, the
// default instead (null: empty; trailing blanks dropped). One pair of quotes
// around a value is removed. Returns the number of units copied, without the
// NUL. |section| and |key| must be given (no listing of names).
DWORD GetPrivateProfileStringW(const char16_t* section, const char16_t* key,
                               const char16_t* defaultValue, char16_t* buffer, DWORD size,
                               const char16_t* path);

// The value as a decimal integer (optional sign, digits up to the first other
// character, modulo 2^32; no digits give 0); a missing or empty value gives
// |defaultValue|.
std::uint32_t GetPrivateProfileIntW(const char16_t* section, const char16_t* key,
                                    int defaultValue, const char16_t* path);

// Whether |value| can be written as a key's value: a line break (CR or LF)
// would end the key's line and begin another. (A NUL cannot be in a value.)
bool IsWritableProfileValue(WStringView value);

// Whether a read gives |value| back as it was written: it is writable, and a
// read neither trims it (no blank at either end) nor removes quotes from it
// (no pair of them around it). Reading into a buffer also cuts what does not
// fit.
bool ProfileReadsBack(WStringView value);

// Sets |key| in |section| to |value|, adding the section at the end of the
// file and the key at the end of its section when they are missing. An
// unchanged value writes nothing. FALSE with the last error set when the file
// cannot be read or written, and (ERROR_INVALID_PARAMETER) for a name or value
// that would break the file's lines: a line break anywhere, "]" in a section
// name, "=" in a key or a key starting with "[" or ";", or an empty key.
// |section|, |key| and |value| must be given (no deleting).
BOOL WritePrivateProfileStringW(const char16_t* section, const char16_t* key,
                                const char16_t* value, const char16_t* path);

// One INI file in memory; the functions above read and write through it.
class ProfileDocument {
 public:
  enum class Encoding { kUtf8, kUtf8Bom, kUtf16Le, kUtf16Be };

  // Never fails: any bytes make some document.
  static ProfileDocument Parse(std::string_view bytes);

  // The stored value (trimmed, quotes kept), when the key exists.
  bool Find(WStringView section, WStringView key, WString& value) const;
  // False when nothing changed.
  bool Set(WStringView section, WStringView key, WStringView value);
  std::string Serialize() const;

  Encoding encoding() const { return encoding_; }

 private:
  enum class Kind { kBlank, kSection, kKey, kOther };
  // Units of text_, or bytes of bytes_, from |begin| on.
  struct Span {
    std::size_t begin = 0;
    std::size_t size = 0;
  };
  // A line points into the document's buffers, so that parsing one costs no
  // allocation of its own.
  struct Line {
    Kind kind = Kind::kOther;
    Span raw;    // UTF-8 files: the line's own bytes, written back unchanged
    Span text;   // the line, decoded
    Span name;   // section or key name, trimmed
    Span value;  // key value, trimmed
  };

  WStringView View(Span span) const { return WStringView(text_).substr(span.begin, span.size); }
  // The line of |text| (and of |raw|, in UTF-8 files), classified.
  Line Classify(Span raw, Span text) const;
  void Keep(Line line);
  // A new line of |text|, its units (and bytes) added to the buffers.
  Line MakeLine(WStringView text);
  // Index of the header of |section| (-1: the lines before any header), or
  // -2 when missing.
  long FindSection(WStringView section) const;
  // One past the last line of the section that starts at |header|.
  std::size_t SectionEnd(long header) const;

  Encoding encoding_ = Encoding::kUtf8;
  std::string bytes_;  // UTF-8 files: the lines' bytes
  WString text_;       // the lines, decoded
  std::vector<Line> lines_;
};

}  // namespace tallow
