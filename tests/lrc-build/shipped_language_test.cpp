// The English language file that the build puts beside the program, read
// back as the program reads it: the reader with this machine's fonts, and
// the text chain from a copy beside a program path in a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/language_file.h"
#include "core/text_format.h"
#include "core/texts.h"
#include "core/version_information.h"
#include "platform/module.h"
#include "res/string_table.h"
#include "support/temp_dir.h"
#include "tools/lrc-build/source.h"

namespace tallow {
namespace {

WString Text(const LrcText& text) { return text ? WString(text.get()) : u"<null>"; }

lrcbuild::Source ShippedSource() {
  std::vector<lrcbuild::Problem> problems;
  auto source = lrcbuild::ParseSource(test::ReadFile(LANGUAGE_SOURCE_PATH), problems);
  EXPECT_TRUE(problems.empty());
  return source ? *source : lrcbuild::Source{};
}

TEST(ShippedLanguageFile, OpensWithTheProgramsVersion) {
  LrcFilePtr file = LrcOpen(FromAnsi(LANGUAGE_FILE_PATH).c_str());
  ASSERT_NE(file, nullptr) << "last error " << GetLastError();
  CVersionInformation program;
  const char16_t* version = program.QueryValue(u"\\StringFileInfo\\%04X%04X\\FileVersion");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(Text(LrcGetVersionText(file.get())), WString(version));
}

// The program shows the same texts with the file as without it, and the
// start-up failure boxes get a caption and a text with the file's name.
TEST(ShippedLanguageFile, HoldsEveryBuiltInTextUnchangedAndTheStartUpTexts) {
  LrcFilePtr file = LrcOpen(FromAnsi(LANGUAGE_FILE_PATH).c_str());
  ASSERT_NE(file, nullptr);
  for (const BuiltinString& s : BuiltinStrings()) {
    SCOPED_TRACE(s.id);
    EXPECT_EQ(Text(LrcFindString(file.get(), static_cast<std::uint32_t>(s.id))), WString(s.text));
  }
  EXPECT_EQ(Text(LrcFindString(file.get(), 20005)), u"Tallowmere");
  const LrcText failure = LrcFindString(file.get(), 21101);
  ASSERT_NE(failure, nullptr);
  EXPECT_EQ(FormatWithString(failure.get(), u"/opt/tallowmere/yomba.so"),
            u"Unable to load /opt/tallowmere/yomba.so.");
  EXPECT_EQ(Text(LrcGetVersionText(file.get())).find(u'!'), WString::npos);
}

// Every entry of the source arrives as written (the English texts carry no
// hotkeys or flags), and the source holds no id beyond the program's.
TEST(ShippedLanguageFile, HoldsWhatItsSourceSays) {
  const lrcbuild::Source source = ShippedSource();
  LrcFilePtr file = LrcOpen(FromAnsi(LANGUAGE_FILE_PATH).c_str());
  ASSERT_NE(file, nullptr);
  std::set<std::uint32_t> known = {20005, 21101};
  for (const BuiltinString& s : BuiltinStrings()) known.insert(static_cast<std::uint32_t>(s.id));
  std::set<std::uint32_t> given;
  for (const lrcbuild::Entry& e : source.entries) {
    SCOPED_TRACE(e.id);
    EXPECT_EQ(e.flags, 0);
    EXPECT_EQ(Text(LrcFindString(file.get(), e.id)), e.text);
    EXPECT_TRUE(known.count(e.id));
    given.insert(e.id);
  }
  EXPECT_EQ(given, known);
}

// A copy beside a program in a scratch folder, opened and looked up as
// start-up does it.
TEST(ShippedLanguageFile, AnswersThroughTheTextChain) {
  test::TempDir folder;
  std::filesystem::copy_file(LANGUAGE_FILE_PATH, folder.File("tallowmere.lrc"));
  const WString program = FromAnsi(folder.File("tallowmere.bin"));
  SetModuleFileNameSourceForTests([program](HMODULE) { return program; });
  LoadLanguageResources(nullptr);
  LoadMessageTable(MessageTable());
  LoadMessageTable(ProgressTextTable());
  LoadMessageTable(LabelTable());

  EXPECT_EQ(FindMessageText(20005), u"Tallowmere");
  EXPECT_EQ(FindMessageText(21101), u"Unable to load %s.");
  for (const MessageTableEntry* e = MessageTable(); e->id != kTableEnd; ++e) {
    SCOPED_TRACE(e->id);
    EXPECT_FALSE(FindMessageText(e->id)->empty());
  }
  for (const BuiltinString& s : BuiltinStrings()) {
    SCOPED_TRACE(s.id);
    EXPECT_EQ(LoadResString(s.id), WString(s.text));
  }
  // The file answered every id the tables and the program asked for.
  EXPECT_EQ(Text(LanguageVersionText()), u"1.0.0.0");

  ReleaseLanguageResources();
  SetModuleFileNameSourceForTests(nullptr);
}

}  // namespace
}  // namespace tallow
