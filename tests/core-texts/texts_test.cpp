#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/dialog_texts.h"
#include "res/string_table.h"
#include "texts_fixture.h"

namespace tallow::test {
namespace {

TEST(BuiltinStrings, HoldOnlyNonEmptyTextsWithDistinctIdsAndNotTheLanguageOnlyOnes) {
  std::set<std::int32_t> ids;
  for (const BuiltinString& s : BuiltinStrings()) {
    SCOPED_TRACE(s.id);
    EXPECT_TRUE(ids.insert(s.id).second);
    ASSERT_NE(s.text, nullptr);
    EXPECT_NE(s.text[0], 0);
  }
  EXPECT_EQ(FindBuiltinString(20005), nullptr);
  EXPECT_EQ(FindBuiltinString(21101), nullptr);
  EXPECT_EQ(WString(FindBuiltinString(21008)), u"Please enter the  IP address or hostname.");
  EXPECT_EQ(WString(FindBuiltinString(21014)), u"Tallowmere is already running. ");
}

TEST_F(TextsTest, WithoutSourcesEveryTextIsBuiltIn) {
  StartProgram();
  EXPECT_EQ(LoadResString(10101), u"Tallowmere");
  EXPECT_EQ(LoadResString(10001), u"File Number");
  EXPECT_EQ(LoadResString(10002), u"Date/Time");
  EXPECT_EQ(LoadResString(10003), u"Pages");
  EXPECT_EQ(LoadResString(10004), u"B/W / Color");
  TextBuffer buffer;
  buffer[0] = u'x';
  EXPECT_EQ(LoadResString(buffer, 99999), 0);
  EXPECT_EQ(buffer[0], 0);
}

// Which source answers: the language file first, then the resource
// library, then the built-in table; an empty text in a source falls through.
TEST_F(TextsTest, ChainAsksTheSourcesInOrder) {
  enum Setup { kNone, kLanguageOnly, kLibraryOnly, kLibraryWithoutTable, kBoth };
  struct Case {
    Setup setup;
    WString preview, deleteAfterSave, connect, caption;  // ids 10102, 10103, 21001, 20005
  };
  const WString builtinConnect = u"Unable to connect to the scanner.";
  const WString libraryConnect = u"Library: the scanner does not answer.";
  const Case cases[] = {
      {kNone, u"Preview", u"Delete after save", builtinConnect, u""},
      {kLanguageOnly, u"Language Preview", u"Delete after save", builtinConnect, u""},
      {kLibraryOnly, u"Library Preview", u"Library Delete", libraryConnect, u"Tallowmere"},
      {kLibraryWithoutTable, u"Preview", u"Delete after save", builtinConnect, u""},
      {kBoth, u"Language Preview", u"Library Delete", libraryConnect, u"Tallowmere"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.setup));
    TempDir folder;
    if (c.setup == kLanguageOnly || c.setup == kBoth) {
      folder.Write("tallowmere.lrc", LanguageFileBytes(StandardLanguageEntries()));
    }
    if (c.setup == kLibraryOnly || c.setup == kBoth) folder.Copy(EXAMPLE_STRINGS, "tallowmerer.so");
    if (c.setup == kLibraryWithoutTable) folder.Copy(EXAMPLE_NO_TABLE, "tallowmerer.so");
    StartProgramAt(folder.Wide("tallowmere.bin"));

    EXPECT_EQ(LoadResString(10102), c.preview);
    EXPECT_EQ(LoadResString(10103), c.deleteAfterSave);
    EXPECT_EQ(LoadResString(10104), u"All");  // empty in both sources
    EXPECT_EQ(LoadResString(21001), c.connect);
    EXPECT_EQ(LoadResString(20005), c.caption);
    ReleaseLanguageResources();
  }
}

TEST_F(TextsTest, LongTextsAreCutTo512CharactersAndTheFirstOfTwoEntriesWins) {
  PutLanguageFile(StandardLanguageEntries());
  PutLibrary();
  StartProgram();
  for (std::int32_t id : {30001, 30101}) {  // library, language file
    SCOPED_TRACE(id);
    TextBuffer buffer;
    EXPECT_EQ(LoadResString(buffer, id), 512);
    EXPECT_EQ(WString(buffer), LongText(512));
  }
  EXPECT_EQ(LoadResString(10109), u"Library Refresh");
}

TEST_F(TextsTest, StartUpFailureTextsComeOnlyFromLanguageSources) {
  StartProgram();
  FillTables();
  EXPECT_EQ(FindMessageText(20005), WString());
  EXPECT_EQ(FindMessageText(21101), WString());

  PutLanguageFile(StandardLanguageEntries());
  StartProgram();
  FillTables();
  EXPECT_EQ(FindMessageText(20005), WString());
  EXPECT_EQ(FindMessageText(21101), u"Language: cannot load %s.");

  PutLibrary();
  StartProgram();
  FillTables();
  EXPECT_EQ(FindMessageText(20005), u"Tallowmere");
  EXPECT_EQ(FindMessageText(21101), u"Language: cannot load %s.");
}

TEST_F(TextsTest, SourcesAreNamedAfterTheProgramFileInItsFolder) {
  struct Case {
    std::string program, languageFile, library;
  };
  const Case cases[] = {
      {"tallowmere.bin", "tallowmere.lrc", "tallowmerer.so"},
      {"tallow.mere.bin", "tallow.mere.lrc", "tallow.merer.so"},
      {"bin/Scan.EXE", "bin/Scan.lrc", "bin/Scanr.so"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    TempDir folder;
    folder.Write(c.languageFile, LanguageFileBytes({{10102, u"Language Preview"}}));
    folder.Copy(EXAMPLE_STRINGS, c.library);
    StartProgramAt(folder.Wide(c.program));
    EXPECT_EQ(LoadResString(10102), u"Language Preview");
    EXPECT_EQ(LoadResString(21001), u"Library: the scanner does not answer.");
    ReleaseLanguageResources();
  }
}

// Each reload first drops what was open, so a program path that names no
// sources leaves only the built-in texts.
TEST_F(TextsTest, UnusableProgramPathsGiveNoSources) {
  PutLanguageFile(StandardLanguageEntries());
  PutLibrary();
  // Would be the names if a dot in a folder counted.
  PutLanguageFile(StandardLanguageEntries(), "app.lrc");
  PutLibrary(EXAMPLE_STRINGS, "appr.so");

  const WString paths[] = {
      folder_.Wide("app.d/tallowmere"),          // no extension, dotted folder
      folder_.Wide("tallowmere"),                // no dot at all
      WString(),                                 // the path cannot be had
      u"/" + WString(33271, u'p') + u".bin",     // 33276 characters: too long
  };
  for (const WString& path : paths) {
    SCOPED_TRACE(path.size());
    StartProgram();
    ASSERT_EQ(LoadResString(10102), u"Language Preview");
    StartProgramAt(path);
    EXPECT_EQ(LoadResString(10102), u"Preview");
    EXPECT_EQ(LoadResString(21001), u"Unable to connect to the scanner.");
  }
}

TEST_F(TextsTest, MessageTablesHoldTheChainsTexts) {
  StartProgram();
  FillTables();
  // Without sources, only the two language-only ids stay empty.
  for (MessageTableEntry* table : {MessageTable(), ProgressTextTable(), LabelTable()}) {
    for (const MessageTableEntry* e = table; e->id != kTableEnd; ++e) {
      SCOPED_TRACE(e->id);
      EXPECT_EQ(e->text.empty(), e->id == 20005 || e->id == 21101);
    }
  }
  EXPECT_EQ(FindMessageText(808), u"This file does not exist. (Error Code: 808)");
  EXPECT_EQ(FindMessageText(21005), u"Failed to save the file.");
  EXPECT_EQ(FindMessageText(8001), std::nullopt);  // a label, not a message
  EXPECT_EQ(FindMessageText(kTableEnd), std::nullopt);
  EXPECT_EQ(FindLabelText(8002), u"Color");
  EXPECT_EQ(FindLabelText(21005), std::nullopt);
  EXPECT_EQ(FindTableText(ProgressTextTable(), 15003), u"Now Saving Document(s)");
  EXPECT_EQ(FindTableText(nullptr, 15003), std::nullopt);

  PutLanguageFile(StandardLanguageEntries());
  PutLibrary();
  StartProgram();
  FillTables();
  EXPECT_EQ(FindMessageText(21001), u"Library: the scanner does not answer.");
  EXPECT_EQ(FindMessageText(21005), u"Failed to save the file.");
  EXPECT_EQ(FindLabelText(8002), u"Language Color");
  EXPECT_EQ(FindLabelText(8003), u"Library USB");
  EXPECT_EQ(FindTableText(ProgressTextTable(), 15001), u"Now Starting Application");
}

}  // namespace
}  // namespace tallow::test
