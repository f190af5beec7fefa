// The tool's source text: what each line's hotkey, flags and escapes become
// when the real reader builds the text, and the sources the tool refuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/language_file.h"
#include "platform/fonts.h"
#include "platform/text.h"
#include "support/temp_dir.h"
#include "tools/lrc-build/image.h"
#include "tools/lrc-build/source.h"

namespace tallow {
namespace {

const std::string kHeader = "version 1.0.0.0\ncharset 0\n";

// Answers every character set, and remembers the one asked.
class RecordingFonts : public FontBackend {
 public:
  FontAnswer FindFontForCharset(std::uint8_t charset) override {
    asked = charset;
    return FontAnswer::kFound;
  }
  int asked = -1;
};

class LrcBuildTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFontBackend(&fonts_); }
  void TearDown() override { InstallFontBackend(nullptr); }

  // The source built and opened by the reader; null when either refuses.
  LrcFilePtr Build(const std::string& text) {
    std::vector<lrcbuild::Problem> problems;
    const auto source = lrcbuild::ParseSource(text, problems);
    for (const lrcbuild::Problem& p : problems) ADD_FAILURE() << p.line << ": " << p.message;
    if (!source) return nullptr;
    const std::vector<std::uint8_t> bytes = lrcbuild::BuildLanguageFile(*source);
    return LrcOpenMemory(bytes.data(), bytes.size());
  }

  RecordingFonts fonts_;
};

WString Found(LrcFile* file, std::uint32_t id) {
  const LrcText text = LrcFindString(file, id);
  return text ? WString(text.get()) : u"<null>";
}

TEST_F(LrcBuildTest, EntriesReadBackAsTheReaderBuildsThem) {
  struct Case {
    const char* line;  // the entry of id 7
    const char16_t* shown;
  };
  const Case cases[] = {
      {R"(7 "File" hotkey=f)", u"&File"},
      {R"(7 "Save" hotkey=x)", u"Save(&X)"},
      {R"(7 "name" hotkey=n colon)", u"&name:"},
      {R"(7 "Save" hotkey=s parens)", u"Save(&S)"},
      {R"(7 "A&B" hotkey=b)", u"A&B"},
      {R"(7 "Go" colon ellipsis space)", u"Go ...:"},
      {R"(7 "Open\tCtrl+O" hotkey=o ellipsis menu)", u"&Open...\tCtrl+O"},
      {R"(7 "Open\tCtrl+O" hotkey=o ellipsis)", u"&Open\tCtrl+O..."},  // a tail only for menu items
      {R"(7 "Say \"hi\" \\ now\nthen")", u"Say \"hi\" \\ now\nthen"},
      {"7 \"Gr\xC3\xB6\xC3\x9F" "e \xF0\x9D\x84\x9E\"", u"Gr\u00f6\u00dfe \U0001D11E"},
      {R"(7 "  two  blanks  "   # and a comment)", u"  two  blanks  "},
      {R"(7	"tab before the text"	colon)", u"tab before the text:"},
      {R"(7 "")", u""},
      {R"(07 "leading zero")", u"leading zero"},
      {R"(7 "%s and %n stay as written")", u"%s and %n stay as written"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    LrcFilePtr file = Build(kHeader + c.line + "\n");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Found(file.get(), 7), c.shown);
  }
}

TEST_F(LrcBuildTest, FileKeepsVersionCharsetAndOrder) {
  // A byte order mark, Windows line ends, blank lines and comments.
  LrcFilePtr file = Build(
      "\xEF\xBB\xBF# Thai\r\n\r\n"
      "3 \"three\"\r\n"
      "version 2.10.100.255\r\n"
      "charset 222\r\n"
      "  # indented comment\n"
      "1 \"one\"\n"
      "65535 \"last\"\n"
      "0 \"zero\"");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(fonts_.asked, 222);
  EXPECT_EQ(WString(LrcGetVersionText(file.get()).get()), u"2.10.100.255");
  EXPECT_EQ(Found(file.get(), 3), u"three");
  EXPECT_EQ(Found(file.get(), 1), u"one");
  EXPECT_EQ(Found(file.get(), 65535), u"last");
  EXPECT_EQ(Found(file.get(), 0), u"zero");
  EXPECT_EQ(Found(file.get(), 2), u"<null>");
}

// The longest texts the program shows, counted in UTF-16 units with what
// the hotkey and flags may add, are accepted and arrive whole.
TEST_F(LrcBuildTest, LongestTextsArriveWhole) {
  struct Case {
    std::string line;
    WString shown;
  };
  const Case cases[] = {
      {"7 \"" + std::string(512, 'a') + "\"", WString(512, u'a')},
      {"7 \"" + std::string(511, 'a') + "\xC3\xA9\"", WString(511, u'a') + u"\u00e9"},
      {"7 \"" + std::string(507, 'a') + "\" hotkey=a colon", u"&" + WString(507, u'a') + u":"},
  };
  for (const Case& c : cases) {
    LrcFilePtr file = Build(kHeader + c.line);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Found(file.get(), 7), c.shown);
  }
}

std::string Repeat(const std::string& s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

struct RunResult {
  int status;  // exit code, or -1 when the tool did not exit by itself
  std::string errors;
};

// Runs the real tool on |source|, with its output going to "out.lrc".
RunResult RunTool(const test::TempDir& dir, const std::string& source) {
  dir.Write("source.txt", source);
  const std::string command = std::string("'") + LRC_BUILD_PATH + "' '" + dir.File("source.txt") + "' '" +
                              dir.File("out.lrc") + "' 2>'" + dir.File("errors.txt") + "'";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadFile(dir.File("errors.txt"))};
}

TEST(LrcBuildTool, RefusesBadSourcesAndLeavesTheOutputAlone) {
  struct Case {
    std::string source;
    std::string message;  // part of what stderr says
  };
  const std::string tooLong(513, 'x');
  const Case cases[] = {
      // Ids
      {kHeader + "x \"text\"", ":3: expected a string id"},
      {kHeader + "-1 \"text\"", ":3: bad string id \"-1\""},
      {kHeader + "+1 \"text\"", ":3: bad string id \"+1\""},
      {kHeader + "65536 \"text\"", ":3: bad string id \"65536\""},
      {kHeader + "99999999999999999999 \"text\"", ":3: bad string id"},
      {kHeader + "12a \"text\"", ":3: bad string id \"12a\""},
      {kHeader + "1 \"a\"\n\n1 \"b\"", ":5: id 1 given already on line 3"},
      // Texts
      {kHeader + "1 text", ":3: expected the text in double quotes"},
      {kHeader + "1", ":3: expected the text in double quotes"},
      {kHeader + "1 \"open", ":3: the text has no closing double quote"},
      {kHeader + "1 \"open\\", ":3: the text has no closing double quote"},
      {kHeader + "1 \"a\\q\"", ":3: unknown escape \\q"},
      {kHeader + "1 \"a\tb\"", ":3: a control character in the text"},
      {kHeader + "1 \"a\"b", ":3: a blank must follow the closing double quote"},
      {kHeader + "1 \"" + tooLong + "\"", ":3: text of id 1 is too long: 513 characters"},
      {kHeader + "1 \"" + std::string(509, 'x') + "\" hotkey=x", ":3: text of id 1 is too long: 513 characters"},
      {kHeader + "1 \"" + Repeat("\xF0\x9D\x84\x9E", 257) + "\"", ":3: text of id 1 is too long: 514 characters"},
      // Options
      {kHeader + "1 \"a\" bold", ":3: unknown option \"bold\""},
      {kHeader + "1 \"a\" colon colon", ":3: option \"colon\" given twice"},
      {kHeader + "1 \"a\" menu menu", ":3: option \"menu\" given twice"},
      {kHeader + "1 \"a\" hotkey=a hotkey=b", ":3: hotkey given twice"},
      {kHeader + "1 \"a\" hotkey=", ":3: a hotkey is one character"},
      {kHeader + "1 \"a\" hotkey=ab", ":3: a hotkey is one character"},
      {kHeader + "1 \"a\" hotkey=&", ":3: a hotkey is one character"},
      {kHeader + "1 \"a\" hotkey=\xF0\x9D\x84\x9E", ":3: a hotkey is one character"},
      {kHeader + "1 \"a\" parens", ":3: \"parens\" needs a hotkey"},
      // Encoding
      {kHeader + "1 \"\xC3(\"", ":3: not valid UTF-8"},
      {kHeader + "1 \"\xC0\xAF\"", ":3: not valid UTF-8"},          // over-long "/"
      {kHeader + "1 \"\xED\xA0\x80\"", ":3: not valid UTF-8"},      // a surrogate
      {kHeader + "1 \"\xF4\x90\x80\x80\"", ":3: not valid UTF-8"},  // beyond U+10FFFF
      {kHeader + "1 \"a\" # \xFF", ":3: not valid UTF-8"},
      {kHeader + std::string("1 \"a\0b\"", 7), ":3: a control character in the text"},
      // The header lines
      {"version 1.0.0\ncharset 0\n1 \"a\"", ":1: a version is four numbers"},
      {"version 1.0.0.256\ncharset 0\n1 \"a\"", ":1: a version is four numbers"},
      {"version 1.0.0.0.0\ncharset 0\n1 \"a\"", ":1: a version is four numbers"},
      {"version 1..0.0\ncharset 0\n1 \"a\"", ":1: a version is four numbers"},
      {"version\ncharset 0\n1 \"a\"", ":1: a version is four numbers"},
      {"version 1.0.0.0 beta\ncharset 0\n1 \"a\"", ":1: \"version\" takes one value"},
      {kHeader + "version 1.0.0.0\n1 \"a\"", ":3: \"version\" given already on line 1"},
      {"version 1.0.0.0\ncharset 256\n1 \"a\"", ":2: a character set is a number from 0 to 255"},
      {kHeader + "charset 0\n1 \"a\"", ":3: \"charset\" given already on line 2"},
      {"charset 0\n1 \"a\"", "source.txt: no \"version\" line"},
      {"version 1.0.0.0\n1 \"a\"", "source.txt: no \"charset\" line"},
      {kHeader + "# nothing", "source.txt: no texts"},
      {"", "source.txt: no texts"},
      {"Version 1.0.0.0\ncharset 0\n1 \"a\"", ":1: expected a string id, \"version\" or \"charset\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    test::TempDir dir;
    dir.Write("out.lrc", "earlier");
    const RunResult run = RunTool(dir, c.source);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
    EXPECT_EQ(test::ReadFile(dir.File("out.lrc")), "earlier");
    EXPECT_EQ(test::FilesIn(dir.Path()), (std::vector<std::string>{"errors.txt", "out.lrc", "source.txt"}));
  }
}

TEST(LrcBuildTool, ReportsEveryFaultOfTheSource) {
  test::TempDir dir;
  const RunResult run = RunTool(dir, "charset 0\n1 \"a\" bold\n2 two\n3 \"fine\"\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors, dir.File("source.txt") + ":2: unknown option \"bold\" (known: hotkey=<character>, "
                        "parens, colon, ellipsis, space, menu)\n" +
                        dir.File("source.txt") + ":3: expected the text in double quotes after the id\n" +
                        dir.File("source.txt") + ": no \"version\" line\n");
}

TEST(LrcBuildTool, WritesTheFileOverAnEarlierOne) {
  test::TempDir dir;
  dir.Write("out.lrc", "earlier");
  const RunResult run = RunTool(dir, kHeader + "20005 \"Tallowmere\"\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errors, "");
  const std::string written = test::ReadFile(dir.File("out.lrc"));
  LrcFilePtr file = LrcOpenMemory(reinterpret_cast<const std::uint8_t*>(written.data()), written.size());
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(Found(file.get(), 20005), u"Tallowmere");
  EXPECT_EQ(test::FilesIn(dir.Path()), (std::vector<std::string>{"errors.txt", "out.lrc", "source.txt"}));
}

TEST(LrcBuildTool, UnreadableSourceOrWrongArguments) {
  test::TempDir dir;
  const std::string tool = std::string("'") + LRC_BUILD_PATH + "'";
  const auto exitCode = [&](const std::string& arguments) {
    const int status = std::system((tool + arguments + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(exitCode(" '" + dir.File("missing.txt") + "' '" + dir.File("out.lrc") + "'"), 1);
  EXPECT_EQ(exitCode(" '" + dir.Path() + "' '" + dir.File("out.lrc") + "'"), 1);  // a folder
  EXPECT_EQ(exitCode(""), 2);
  EXPECT_EQ(exitCode(" only-one"), 2);
  EXPECT_EQ(test::FilesIn(dir.Path()), std::vector<std::string>{});

  // An output that names a folder is left alone, and nothing is left beside it.
  dir.Write("source.txt", kHeader + "1 \"a\"\n");
  std::filesystem::create_directory(dir.File("out"));
  EXPECT_EQ(exitCode(" '" + dir.File("source.txt") + "' '" + dir.File("out") + "'"), 1);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("out")));
  EXPECT_EQ(test::FilesIn(dir.Path()), (std::vector<std::string>{"out", "source.txt"}));
}

}  // namespace
}  // namespace tallow
