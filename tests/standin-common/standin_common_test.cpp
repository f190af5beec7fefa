// Text conversions of the stand-ins and the reading of registry entries,
// whose texts come from other processes and the network.
#include <gtest/gtest.h>

#include <string>

#include "usb_registry.h"
#include "utf.h"

namespace standin {
namespace {

TEST(StandinUtf, MalformedTextBecomesReplacementCharacters) {
  struct Case {
    const char* what;
    std::string utf8;
    std::u16string utf16;
    bool strict;  // Utf16Length accepts it
  };
  const Case cases[] = {
      {"ascii", "MFP", u"MFP", true},
      {"two-byte", "Caf\xC3\xA9", u"Caf\u00E9", true},
      {"four-byte", "\xF0\x9F\x96\xA8", u"\U0001F5A8", true},
      {"cut short", "M\xC3", u"M\uFFFD", false},
      {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD", false},
      {"surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
      {"stray continuation", "a\x80z", u"a\uFFFDz", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FromUtf8(c.utf8), c.utf16);
    EXPECT_EQ(Utf16Length(c.utf8).has_value(), c.strict);
    if (c.strict) {
      EXPECT_EQ(*Utf16Length(c.utf8), c.utf16.size());
      EXPECT_EQ(ToUtf8(c.utf16), c.utf8);
    }
  }
  const char16_t unpaired[] = {u'a', 0xD800, u'b', 0xDC00, 0};
  EXPECT_EQ(ToUtf8(unpaired), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  EXPECT_FALSE(IsCleanUtf8("tab\there"));
  EXPECT_FALSE(IsCleanUtf8("del\x7F"));
}

TEST(StandinUtf, AFieldNeverEndsInsideASurrogatePair) {
  char16_t field[4];
  CopyToField(field, 4, u"ab\U0001F5A8");
  EXPECT_EQ(std::u16string(field), u"ab");
  CopyToField(field, 4, u"abcdef");
  EXPECT_EQ(std::u16string(field), u"abc");
}

TEST(UsbRegistry, OnlyWholeSoundEntriesAreRead) {
  const std::string good =
      "# attached by the simulator\r\nname=MFP-A\ndescription=Front office\nhardware-id=\n"
      "socket=/run/a.sock\nlock=/run/a.lock\nunknown=kept out\n";
  std::optional<UsbRegistryEntry> e = ParseUsbRegistryEntry(good);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->name, "MFP-A");
  EXPECT_EQ(e->description, "Front office");
  EXPECT_EQ(e->socketPath, "/run/a.sock");
  EXPECT_TRUE(ParseUsbRegistryEntry(FormatUsbRegistryEntry(*e)));

  const std::string paths = "socket=/s\nlock=/l\n";
  struct Case {
    const char* what;
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"127 units of name", "name=" + std::string(127, 'n') + "\n" + paths, true},
      {"128 units of name", "name=" + std::string(128, 'n') + "\n" + paths, false},
      {"no name", "description=x\n" + paths, false},
      {"a key twice", "name=a\nname=b\n" + paths, false},
      {"a line without =", "name=a\nnonsense\n" + paths, false},
      {"control in the description", "name=a\ndescription=a\x01\n" + paths, false},
      {"bad UTF-8 in the id", "name=a\nhardware-id=\xC3\n" + paths, false},
      {"relative socket", "name=a\nsocket=s\nlock=/l\n", false},
      {"socket path of 107 bytes", "name=a\nlock=/l\nsocket=/" + std::string(106, 's'), true},
      {"socket path of 108 bytes", "name=a\nlock=/l\nsocket=/" + std::string(107, 's'), false},
      {"over 8 KiB", "name=a\n" + paths + "#" + std::string(8192, 'x') + "\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ParseUsbRegistryEntry(c.text).has_value(), c.valid);
  }
}

}  // namespace
}  // namespace standin
