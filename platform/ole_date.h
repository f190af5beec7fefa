// Dates as the other system's automation layer keeps them: days since
// 30 December 1899 in a double, the fraction being the time of day (for a
// date before that day the fraction counts forward from its midnight, so
// -1.25 is 29 December 1899, 06:00).
#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

using DATE = double;

inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
inline constexpr std::uint32_t LOCALE_USER_DEFAULT = 0x400;

// Reads the date forms an MFP sends: "2026/12/09 08:46:40", "2026-12-09
// 08:46:40", "2026/12/09", with or without seconds, blanks around. Any other
// text, or a date or time out of range, gives DISP_E_TYPEMISMATCH.
HRESULT VarDateFromStr(const char16_t* text, std::uint32_t lcid, std::uint32_t flags, DATE* out);

// The date's fields, to the nearest second. False for a date outside the
// years 100 to 9999 or not a number.
struct DateParts {
  int year, month, day, hour, minute, second;
};
bool DateToParts(DATE date, DateParts& parts);

// strftime-style formatting of a date ("%Y/%m/%d %H:%M:%S"); empty when the
// date is out of range.
WString FormatDate(DATE date, const char* format);

}  // namespace tallow
