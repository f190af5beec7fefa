#include "core/file_utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "platform/module.h"
#include "platform/path.h"
#include "support/temp_dir.h"

namespace tallow {
namespace {

using test::TempDir;

// Puts the process into a time zone for the test's lifetime.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ScopedTimeZone() {
    if (hadOld_) ::setenv("TZ", old_.c_str(), 1); else ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::string old_;
  bool hadOld_ = false;
};

TEST(FormatFileTimeStamp, IsLocalTimeInFourteenDigits) {
  const std::int64_t t = 1796806000;  // 2026-12-09 08:46:40 UTC
  {
    ScopedTimeZone zone("UTC0");
    EXPECT_EQ(FormatFileTimeStamp(&t), u"20261209084640");
  }
  {
    ScopedTimeZone zone("XST-9");  // nine hours east
    EXPECT_EQ(FormatFileTimeStamp(&t), u"20261209174640");
  }
}

TEST(FormatFileTimeStamp, IsEmptyWithoutAConvertibleTime) {
  EXPECT_EQ(FormatFileTimeStamp(nullptr), u"");
  const std::int64_t huge = std::numeric_limits<std::int64_t>::max();
  EXPECT_EQ(FormatFileTimeStamp(&huge), u"");
}

class ModulePathTest : public ::testing::Test {
 protected:
  void TearDown() override { SetModuleFileNameSourceForTests(nullptr); }

  // Every call of the module-path query is counted: one per buffer size.
  void UsePath(WString path) {
    SetModuleFileNameSourceForTests([this, path](HMODULE) {
      ++queries_;
      return path;
    });
  }
  int queries_ = 0;
};

TEST_F(ModulePathTest, BufferGrowsUntilThePathSurelyFits) {
  struct Case {
    std::size_t length;
    int queries;
  };
  // 260 units hold 259 characters, but a result of exactly 259 may have been
  // cut, so it needs 520; the last size tried is 33280.
  for (Case c : {Case{1, 1}, Case{258, 1}, Case{259, 2}, Case{260, 2}, Case{518, 2},
                 Case{519, 3}, Case{33278, 8}}) {
    SCOPED_TRACE(c.length);
    WString path = u"/" + WString(c.length - 1, u'p');
    queries_ = 0;
    UsePath(path);
    WString out = u"old";
    EXPECT_EQ(GetModuleFilePath(out, nullptr), S_OK);
    EXPECT_EQ(out, path);
    EXPECT_EQ(queries_, c.queries);
  }
}

TEST_F(ModulePathTest, TooLongAPathIsAnError) {
  UsePath(u"/" + WString(33278, u'p'));  // 33279 characters never fit in 33280
  WString out = u"old";
  EXPECT_EQ(GetModuleFilePath(out, nullptr), HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(out, u"old");
  EXPECT_EQ(queries_, 8);
}

TEST_F(ModulePathTest, NoPathAtAllIsAFailureNotAnEmptyPath) {
  UsePath(u"");
  WString out = u"old";
  EXPECT_TRUE(FAILED(GetModuleFilePath(out, nullptr)));
  EXPECT_EQ(out, u"old");
}

TEST_F(ModulePathTest, WithoutASourceItIsTheProgramFile) {
  WString out;
  ASSERT_EQ(GetModuleFilePath(out, nullptr), S_OK);
  EXPECT_EQ(out, ProgramFilePath());
}

TEST(PathParts, FolderAndFileNameOfAPath) {
  struct Case {
    WString path;
    HRESULT hr;
    WString folder;
    WString name;
  };
  const WString dir = u"/no-such-folder-tallow/dir";
  for (const Case& c : {
           Case{dir + u"/name.bin", S_OK, dir, u"name.bin"},
           Case{dir + u"/", S_OK, dir, u""},
           Case{u"/name.bin", S_OK, u"", u"name.bin"},
           Case{u"name.bin", E_FAIL, u"name.bin", u"name.bin"},
           Case{u"", E_FAIL, u"", u""},
       }) {
    SCOPED_TRACE(ToAnsi(c.path));
    WString folder = c.path, name = c.path;
    EXPECT_EQ(TruncateToFolder(folder), c.hr);
    EXPECT_EQ(folder, c.folder);
    EXPECT_EQ(GetFileNamePart(name), c.hr);
    EXPECT_EQ(name, c.name);
  }
}

TEST(PathParts, AnExistingFolderIsItsOwnFolderAndHasNoFileName) {
  TempDir scratch;
  WString folder = scratch.Wide(), name = scratch.Wide();
  EXPECT_EQ(TruncateToFolder(folder), S_OK);
  EXPECT_EQ(folder, scratch.Wide());
  EXPECT_EQ(GetFileNamePart(name), S_OK);
  EXPECT_EQ(name, u"");
}

TEST(AnsiText, ConvertsBothWaysUpToTheNul) {
  const WString wide = u"Gr\u00fc\u00dfe \u20ac\U0001D11E";
  const std::string ansi = "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac\xf0\x9d\x84\x9e";
  EXPECT_EQ(WideToAnsi(wide.c_str()), ansi);
  EXPECT_EQ(AnsiToWide(ansi.c_str()), wide);
  EXPECT_EQ(WideToAnsi(u"ab\0cd"), "ab");
  EXPECT_EQ(AnsiToWide("ab\0cd"), u"ab");
  EXPECT_EQ(WideToAnsi(nullptr), "");
  EXPECT_EQ(AnsiToWide(nullptr), u"");
  EXPECT_EQ(WideToAnsi(u""), "");
  // What the encoding cannot hold becomes the replacement character.
  const char16_t lone[] = {u'a', 0xD800, 0};
  EXPECT_EQ(WideToAnsi(lone), "a\xef\xbf\xbd");
}

}  // namespace
}  // namespace tallow
