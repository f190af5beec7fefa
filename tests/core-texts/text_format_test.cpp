#include "core/text_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace tallow {
namespace {

// Formats as a replaced language file might hold them: none of them may do
// more than put the one argument in once.
TEST(TextFormat, OneArgumentWhateverTheFormat) {
  struct Case {
    const char16_t* format;
    const char16_t* expected;  // with the argument "arg"
  };
  const Case cases[] = {
      {u"Unable to load %s.", u"Unable to load arg."},
      {u"", u""},
      {u"no placeholder", u"no placeholder"},
      {u"%s", u"arg"},
      {u"%d", u"arg"},  // the other kind takes the argument as well
      {u"%s%s", u"arg%s"},
      {u"%d %s %d", u"arg %s %d"},
      {u"%n", u"%n"},
      {u"%n%s", u"%narg"},
      {u"%1$s", u"%1$s"},
      {u"%ls and %S", u"%ls and %S"},  // nor the wide or upper-case forms
      {u"%2d", u"%2d"},
      {u"%x %p %c %f", u"%x %p %c %f"},
      {u"%", u"%"},
      {u"100%", u"100%"},
      {u"% s", u"% s"},
      {u"%%", u"%"},
      {u"%%s", u"%s"},
      {u"%%%s", u"%arg"},
      {u"%%%%s%s", u"%%sarg"},
      {u"%s 100%%", u"arg 100%"},
      {u"%%%", u"%%"},
      {u"\u00c9chec\u00a0: %s \U0001F4C4", u"\u00c9chec\u00a0: arg \U0001F4C4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(ToAnsi(c.format)));
    EXPECT_EQ(FormatWithString(c.format, u"arg"), c.expected);
  }
}

TEST(TextFormat, TheArgumentIsNotReadAsAFormat) {
  EXPECT_EQ(FormatWithString(u"[%s] %s", u"%s%n%%"), u"[%s%n%%] %s");
  EXPECT_EQ(FormatWithString(u"file %s.", u""), u"file .");
}

TEST(TextFormat, NumbersInDecimal) {
  struct Case {
    std::int64_t value;
    const char16_t* expected;  // through "error(%d)"
  };
  const Case cases[] = {
      {0, u"error(0)"},
      {5, u"error(5)"},
      {-1, u"error(-1)"},
      {0xFFFFFFFF, u"error(4294967295)"},  // an unsigned last error stays unsigned
      {std::numeric_limits<std::int64_t>::min(), u"error(-9223372036854775808)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(FormatWithNumber(u"error(%d)", c.value), c.expected);
  }
  EXPECT_EQ(FormatWithNumber(u"Path/File access error(%s)", 32), u"Path/File access error(32)");
  EXPECT_EQ(FormatWithNumber(u"%n%d%d", 7), u"%n7%d");
}

// Texts far longer than any source gives: every "%" pair is undone, and only
// the first placeholder grows the text.
TEST(TextFormat, LongFormatsAndArguments) {
  const WString percents(100001, u'%');
  EXPECT_EQ(FormatWithString(percents, u"arg"), WString(50000, u'%') + u"%");

  WString many;
  for (int i = 0; i < 50000; ++i) many += u"%s";
  const WString formatted = FormatWithString(many, u"arg");
  EXPECT_EQ(formatted.size(), many.size() + 1);
  EXPECT_EQ(formatted.substr(0, 5), u"arg%s");

  const WString longArgument(70000, u'a');
  EXPECT_EQ(FormatWithString(u"<%s>", longArgument), u"<" + longArgument + u">");
}

TEST(TextFormat, LeadingDecimal) {
  struct Case {
    const char16_t* text;
    int expected;
  };
  const Case cases[] = {
      {u"3", 3},
      {u"12page(s)", 12},
      {u"  7", 7},
      {u"\t-4x", -4},
      {u"+9", 9},
      {u"", 0},
      {u"x3", 0},
      {u"-", 0},
      {u" - 3", 0},
      {u"0009999", 9999},
      {u"2147483647", 2147483647},
      {u"99999999999999999999", 2147483647},
      {u"-99999999999999999999", -2147483647 - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.text));
    EXPECT_EQ(LeadingDecimal(c.text), c.expected);
  }
}

}  // namespace
}  // namespace tallow
