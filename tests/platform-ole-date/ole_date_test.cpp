// Dates of the OLE Automation kind: the time-stamp forms an MFP sends.
#include "platform/ole_date.h"

#include <gtest/gtest.h>

namespace tallow {
namespace {

TEST(OleDate, ReadsTheFormsAnMfpSends) {
  struct Case {
    const char16_t* text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {u"1899/12/30", true, 0.0},
      {u"1899/12/31 12:00", true, 1.5},
      {u"1899/12/29 06:00:00", true, -1.25},
      {u"2026-12-09 08:46:40", true, 46365 + (8 * 3600 + 46 * 60 + 40) / 86400.0},
      {u"  2026/12/09  ", true, 46365},
      {u"2026/02/29", false, 0},
      {u"2026/13/01", false, 0},
      {u"2026/12/09 24:00", false, 0},
      {u"2026/12/09 08:46:40 PM", false, 0},
      {u"2026/12-09", false, 0},
      {u"2026/12/0908:46", false, 0},
      {u"", false, 0},
      {u"yesterday", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.text));
    DATE d = -99;
    HRESULT hr = VarDateFromStr(c.text, LOCALE_USER_DEFAULT, 0, &d);
    EXPECT_EQ(SUCCEEDED(hr), c.ok);
    if (c.ok) {
      EXPECT_NEAR(d, c.value, 1e-9);
    }
  }
}

}  // namespace
}  // namespace tallow
