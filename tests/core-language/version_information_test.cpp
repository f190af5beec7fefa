#include "core/version_information.h"

#include <gtest/gtest.h>


#include "platform/module.h"
#include "platform/version_info.h"
#include "res/resources.h"

namespace tallow {
namespace {

std::u16string Value(const char16_t* v) { return v ? std::u16string(v) : u"<null>"; }

constexpr const char16_t* kFileVersion = u"\\StringFileInfo\\%04X%04X\\FileVersion";
constexpr const char16_t* kLegalCopyright = u"\\StringFileInfo\\%04X%04X\\LegalCopyright";

class VersionInformationTest : public ::testing::Test {
 protected:
  void TearDown() override {
    res::RegisterProgramResources();
    SetModuleFileNameSourceForTests({});
  }
};

TEST_F(VersionInformationTest, ProgramBlockHasOneUtf16TranslationAndItsTexts) {
  CVersionInformation info;
  ASSERT_TRUE(info.HasVersionBlock());
  EXPECT_EQ(info.Language(), 0);
  EXPECT_EQ(info.CodePage(), 1200);
  EXPECT_EQ(Value(info.QueryValue(kFileVersion)), u"1.0.0.0");
  // The same value by the key that the format makes.
  EXPECT_EQ(Value(info.QueryValue(u"\\StringFileInfo\\000004B0\\FileVersion")), u"1.0.0.0");
  EXPECT_NE(Value(info.QueryValue(kLegalCopyright)), u"<null>");
  EXPECT_NE(std::u16string(info.QueryValue(kLegalCopyright)).find(u"Copyright"), std::u16string::npos);
  EXPECT_EQ(info.QueryValue(u"\\StringFileInfo\\%04X%04X\\NoSuchValue"), nullptr);
  EXPECT_EQ(info.QueryValue(nullptr), nullptr);
}

TEST_F(VersionInformationTest, HighCodePageGivesFourHexDigits) {
  VersionBlockContents c;
  c.stringTables.push_back({u"0409FDE9", {{u"FileVersion", u"2.3.4.5"}}});
  c.translations.push_back({0x0409, 65001});
  c.translations.push_back({0x0000, 1200});  // only the first translation counts
  RegisterProgramVersionBlock(BuildVersionBlock(c));
  CVersionInformation info;
  EXPECT_EQ(info.Language(), 0x0409);
  EXPECT_EQ(info.CodePage(), 65001);
  EXPECT_EQ(Value(info.QueryValue(kFileVersion)), u"2.3.4.5");
}

TEST_F(VersionInformationTest, WithoutABlockEveryQueryIsNull) {
  RegisterProgramVersionBlock({});
  CVersionInformation info;
  EXPECT_FALSE(info.HasVersionBlock());
  EXPECT_EQ(info.Language(), 0);
  EXPECT_EQ(info.CodePage(), 0);
  EXPECT_EQ(info.QueryValue(kFileVersion), nullptr);
}

TEST_F(VersionInformationTest, WithoutATranslationTheTableIsNamedZero) {
  VersionBlockContents c;
  c.stringTables.push_back({u"00000000", {{u"FileVersion", u"9.9.9.9"}, {u"Empty", u""}}});
  RegisterProgramVersionBlock(BuildVersionBlock(c));
  CVersionInformation info;
  EXPECT_TRUE(info.HasVersionBlock());
  EXPECT_EQ(info.Language(), 0);
  EXPECT_EQ(info.CodePage(), 0);
  EXPECT_EQ(Value(info.QueryValue(kFileVersion)), u"9.9.9.9");
  // An empty text still counts its NUL, so it is found.
  EXPECT_EQ(Value(info.QueryValue(u"\\StringFileInfo\\%04X%04X\\Empty")), u"");
}

TEST_F(VersionInformationTest, KeyFormatsOtherThanTwoNumbersAreRefused) {
  CVersionInformation info;
  const char16_t* refused[] = {
      u"\\StringFileInfo\\%s\\FileVersion",
      u"\\StringFileInfo\\%04X%04X%04X\\FileVersion",
      u"\\StringFileInfo\\%04X%n\\FileVersion",
      u"\\StringFileInfo\\%0300X\\FileVersion",
  };
  for (const char16_t* f : refused) EXPECT_EQ(info.QueryValue(f), nullptr);
  // A key longer than 259 characters does not fit the key buffer.
  std::u16string longKey = u"\\StringFileInfo\\%04X%04X\\" + std::u16string(240, u'A');
  EXPECT_EQ(info.QueryValue(longKey.c_str()), nullptr);
  EXPECT_EQ(Value(info.QueryValue(u"\\StringFileInfo\\%04x%04X\\fileversion")), u"1.0.0.0");
  EXPECT_EQ(Value(info.QueryValue(u"\\StringFileInfo\\%02X%02X%u\\FileVersion")), u"<null>");
}

TEST_F(VersionInformationTest, ExePathIsFetchedUntilItSurelyFits) {
  struct Case {
    std::size_t length;
    bool taken;
  };
  for (Case c : {Case{1, true}, Case{258, true}, Case{259, true}, Case{260, true},
                 Case{33278, true}, Case{33279, false}}) {
    SCOPED_TRACE(c.length);
    WString wanted = u"/" + WString(c.length - 1, u'p');
    SetModuleFileNameSourceForTests([&](HMODULE) { return wanted; });
    WString path = u"stale";
    GetExePath(path);
    EXPECT_EQ(path, c.taken ? wanted : WString());
  }
  SetModuleFileNameSourceForTests([](HMODULE) { return WString(); });
  WString path = u"stale";
  GetExePath(path);
  EXPECT_EQ(path, u"");
  CVersionInformation info;
  EXPECT_FALSE(info.HasVersionBlock());
}

}  // namespace
}  // namespace tallow
