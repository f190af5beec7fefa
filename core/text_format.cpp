#include "core/text_format.h"

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

}  // namespace tallow
