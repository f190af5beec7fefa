#include "core/text_format.h"

#include <algorithm>
#include <climits>
#include <string>

namespace tallow {

WString FormatWithString(WStringView format, WStringView argument) {
  WString out;
  out.reserve(format.size() + argument.size());
  bool placed = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    const char16_t next = i + 1 < format.size() ? format[i + 1] : u'\0';
    if (c == u'%' && next == u'%') {
      out.push_back(u'%');
      ++i;
    } else if (c == u'%' && !placed && (next == u's' || next == u'd')) {
      out.append(argument);
      placed = true;
      ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

WString FormatWithNumber(WStringView format, std::int64_t argument) {
  return FormatWithString(format, FromAnsi(std::to_string(argument)));
}

int LeadingDecimal(WStringView text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = std::min(value * 10 + (text[i] - u'0'), static_cast<long long>(INT_MAX) + 1);
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace tallow
