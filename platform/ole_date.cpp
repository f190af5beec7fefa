#include "platform/ole_date.h"

#include <cmath>
#include <ctime>

namespace tallow {

namespace {

// Days from 1970-01-01 to the civil date y-m-d (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

const long long kEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

struct Cursor {
  const char16_t* p;
  void SkipBlanks() {
    while (*p == u' ' || *p == u'\t') ++p;
  }
  // 1 to |maxDigits| decimal digits.
  bool Number(int maxDigits, int& value) {
    int n = 0;
    value = 0;
    while (*p >= u'0' && *p <= u'9' && n < maxDigits) {
      value = value * 10 + (*p - u'0');
      ++p;
      ++n;
    }
    return n > 0 && !(*p >= u'0' && *p <= u'9');
  }
  bool Take(char16_t c) {
    if (*p != c) return false;
    ++p;
    return true;
  }
};

}  // namespace

HRESULT VarDateFromStr(const char16_t* text, std::uint32_t, std::uint32_t, DATE* out) {
  if (!text || !out) return E_INVALIDARG;
  Cursor c{text};
  c.SkipBlanks();
  int y, m, d, hh = 0, mm = 0, ss = 0;
  if (!c.Number(4, y)) return DISP_E_TYPEMISMATCH;
  const char16_t sep = *c.p;
  if (sep != u'/' && sep != u'-') return DISP_E_TYPEMISMATCH;
  ++c.p;
  if (!c.Number(2, m) || !c.Take(sep) || !c.Number(2, d)) return DISP_E_TYPEMISMATCH;
  const char16_t* afterDate = c.p;
  c.SkipBlanks();
  if (*c.p != 0) {
    if (c.p == afterDate) return DISP_E_TYPEMISMATCH;  // time needs a blank before it
    if (!c.Number(2, hh) || !c.Take(u':') || !c.Number(2, mm)) return DISP_E_TYPEMISMATCH;
    if (c.Take(u':') && !c.Number(2, ss)) return DISP_E_TYPEMISMATCH;
    c.SkipBlanks();
    if (*c.p != 0) return DISP_E_TYPEMISMATCH;
  }
  if (y < 100 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m) || hh > 23 || mm > 59 ||
      ss > 59) {
    return DISP_E_TYPEMISMATCH;
  }
  const double day = static_cast<double>(DaysFromCivil(y, m, d) - kEpoch);
  const double time = (hh * 3600 + mm * 60 + ss) / 86400.0;
  *out = day >= 0 ? day + time : day - time;
  return S_OK;
}

bool DateToParts(DATE date, DateParts& parts) {
  if (!std::isfinite(date) || date < -657434.0 || date >= 2958466.0) return false;
  double whole = std::trunc(date);
  long long seconds = std::llround(std::fabs(date - whole) * 86400.0);
  long long day = static_cast<long long>(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++day;
  }
  CivilFromDays(day + kEpoch, parts.year, parts.month, parts.day);
  parts.hour = static_cast<int>(seconds / 3600);
  parts.minute = static_cast<int>(seconds / 60 % 60);
  parts.second = static_cast<int>(seconds % 60);
  return parts.year >= 100 && parts.year <= 9999;
}

WString FormatDate(DATE date, const char* format) {
  DateParts p;
  if (!DateToParts(date, p)) return {};
  std::tm tm{};
  tm.tm_year = p.year - 1900;
  tm.tm_mon = p.month - 1;
  tm.tm_mday = p.day;
  tm.tm_hour = p.hour;
  tm.tm_min = p.minute;
  tm.tm_sec = p.second;
  char buf[256];
  std::size_t n = std::strftime(buf, sizeof buf, format, &tm);
  return FromAnsi(std::string_view(buf, n));
}

}  // namespace tallow
