// Language texts that take one argument ("Unable to load %s.", "Path/File
// access error(%d)") come from a file the user can replace, so they are
// never handed to a printf-style formatter: the one argument is put in here.
//
// The first "%s" or "%d" receives the argument; the two are taken alike, so
// a text whose translator wrote the other one still shows the value. "%%"
// gives "%". Everything else stays as written: any later "%s" or "%d", and
// every other "%" sequence ("%n", "%1$s", "%2d", a "%" at the end). A
// format without a placeholder is returned with only its "%%" undone.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace tallow {

WString FormatWithString(WStringView format, WStringView argument);
// The number in decimal, with "-" when negative.
WString FormatWithNumber(WStringView format, std::int64_t argument);

// The decimal number at the start of |text| (after blanks, with an optional
// sign), as a page field or the list's page column holds it: 0 when there
// is none; beyond the range of int, the nearest end of it.
int LeadingDecimal(WStringView text);

}  // namespace tallow
