#include "utf.h"

#include <algorithm>
#include <cstring>

namespace standin {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The strict UTF-8 sequence at |i|: its code point and length, or length 0
// when the bytes there are none.
struct Sequence {
  char32_t codePoint = 0;
  std::size_t length = 0;
};

Sequence DecodeAt(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = 0;
  char32_t cp = 0, min = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    return {};
  }
  if (text.size() - i < length) return {};
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return {};
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {};
  return {cp, length};
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (IsHighSurrogate(cp) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (IsHighSurrogate(cp) || IsLowSurrogate(cp)) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Sequence s = DecodeAt(text, i);
    if (s.length == 0) {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
    } else if (s.codePoint < 0x10000) {
      out.push_back(static_cast<char16_t>(s.codePoint));
      i += s.length;
    } else {
      out.push_back(static_cast<char16_t>(0xD800 | ((s.codePoint - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 | (s.codePoint & 0x3FF)));
      i += s.length;
    }
  }
  return out;
}

std::optional<std::size_t> Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Sequence s = DecodeAt(text, i);
    if (s.length == 0) return std::nullopt;
    units += s.codePoint >= 0x10000 ? 2 : 1;
    i += s.length;
  }
  return units;
}

bool HasControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool IsCleanUtf8(std::string_view text) { return Utf16Length(text) && !HasControl(text); }

void CopyToField(char16_t* field, std::size_t capacity, std::u16string_view text) {
  if (capacity == 0) return;
  std::size_t n = std::min(text.size(), capacity - 1);
  if (n > 0 && n < text.size() && IsHighSurrogate(text[n - 1]) && IsLowSurrogate(text[n])) --n;
  std::memcpy(field, text.data(), n * sizeof(char16_t));
  field[n] = 0;
}

}  // namespace standin
