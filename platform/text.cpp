#include "platform/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "libs/common/utf.h"

namespace tallow {

// The encoder of the stand-ins (libs/common), which cannot use the program's:
// one encoder, and one rule for malformed text, on both sides of the exports.
std::string ToAnsi(WStringView wide) { return standin::ToUtf8(wide); }

WString FromAnsi(std::string_view ansi) { return standin::FromUtf8(ansi); }

std::size_t WideLength(const char16_t* s) {
  std::size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

void CopyToField(char16_t* field, std::size_t capacity, WStringView src) {
  standin::CopyToField(field, capacity, src);
}

void CopyToField(char* field, std::size_t capacity, std::string_view src) {
  if (capacity == 0) return;
  std::size_t n = src.size() < capacity - 1 ? src.size() : capacity - 1;
  // Never end inside a UTF-8 sequence.
  if (n < src.size()) {
    while (n > 0 && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(field, src.data(), n);
  field[n] = 0;
}

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  char small[256];
  int n = std::vsnprintf(small, sizeof small, fmt, args);
  va_end(args);
  std::string out;
  if (n < 0) {
    va_end(copy);
    return out;
  }
  if (static_cast<std::size_t>(n) < sizeof small) {
    out.assign(small, static_cast<std::size_t>(n));
  } else {
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), fmt, copy);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(copy);
  return out;
}

WString AsciiLower(WStringView s) {
  WString out(s);
  for (auto& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return out;
}

}  // namespace tallow
