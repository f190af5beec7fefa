#include "convert/convertor.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "convert/jpg_passthru_convertor.h"
#include "convert/pdf_tiff_convertors.h"
#include "platform/clock.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace tallow {
namespace {

using test::ScopedEnv;

TEST(GetConvertorType, ExtensionTable) {
  struct Case {
    const char16_t* name;
    ConvertorType type;
  };
  for (const Case& c : {
           Case{u"Scan.PDF", kConvertorPdf}, Case{u"a.b.jpeg", kConvertorJpeg},
           Case{u".tif", kConvertorTiff}, Case{u"x.TIFF", kConvertorTiff},
           Case{u"x.Jpg", kConvertorJpeg}, Case{u"report", kConvertorNone},
           Case{u"notes.txt", kConvertorNone}, Case{u"x.", kConvertorNone},
           Case{u"scan.pdf.bak", kConvertorNone}, Case{u"x.pdfx", kConvertorNone},
           Case{nullptr, kConvertorNone},
       }) {
    SCOPED_TRACE(c.name ? ToAnsi(c.name) : "NULL");
    EXPECT_EQ(GetConvertorType(c.name), c.type);
  }
}

TEST(CreateConvertor, PicksTheWriterByTypeAndColour) {
  enum Kind { kNone, kMonoPdf, kColorPdf, kTiff, kJpeg };
  struct Case {
    BOOL mono;
    ConvertorType type;
    Kind kind;
    const char16_t* extension;
  };
  for (const Case& c : {
           Case{TRUE, kConvertorPdf, kMonoPdf, u".pdf"},
           Case{FALSE, kConvertorPdf, kColorPdf, u".pdf"},
           Case{TRUE, kConvertorTiff, kTiff, u".tif"},
           Case{FALSE, kConvertorTiff, kNone, nullptr},
           Case{TRUE, kConvertorJpeg, kNone, nullptr},
           Case{FALSE, kConvertorJpeg, kJpeg, u".jpg"},
           Case{TRUE, kConvertorNone, kNone, nullptr},
           Case{FALSE, 7, kNone, nullptr},
       }) {
    SCOPED_TRACE(::testing::Message() << "mono " << c.mono << " type " << c.type);
    // The slot holds an earlier writer, which must go in every case.
    IConvertor* slot = nullptr;
    ASSERT_NE(CreateConvertor(FALSE, slot, kConvertorJpeg), nullptr);
    IConvertor* made = CreateConvertor(c.mono, slot, c.type);
    EXPECT_EQ(made, slot);
    switch (c.kind) {
      case kNone: EXPECT_EQ(slot, nullptr); break;
      case kMonoPdf: EXPECT_NE(dynamic_cast<CMonoPdfConvertor*>(slot), nullptr); break;
      case kColorPdf: EXPECT_NE(dynamic_cast<CColorPdfConvertor*>(slot), nullptr); break;
      case kTiff: EXPECT_NE(dynamic_cast<CTiffConvertor*>(slot), nullptr); break;
      case kJpeg: EXPECT_NE(dynamic_cast<CJpgPassthruConvertor*>(slot), nullptr); break;
    }
    if (slot) {
      EXPECT_EQ(WString(slot->GetExtension()), c.extension);
      // New writers are empty.
      EXPECT_TRUE(slot->m_outputPaths.empty());
      EXPECT_TRUE(slot->m_workFolder.empty());
      EXPECT_EQ(slot->m_firstPage, 0);
      EXPECT_EQ(slot->m_lastPage, 0);
    }
    DeleteConvertor(slot);
    EXPECT_EQ(slot, nullptr);
  }
}

TEST(IsValidSaveName, NeedsAWriterForTheColourClass) {
  EXPECT_FALSE(IsValidSaveName(u"x.tiff", FALSE));
  EXPECT_TRUE(IsValidSaveName(u"x.tiff", TRUE));
  EXPECT_FALSE(IsValidSaveName(u"x.jpg", TRUE));
  EXPECT_TRUE(IsValidSaveName(u"x.jpg", FALSE));
  EXPECT_TRUE(IsValidSaveName(u"x.pdf", FALSE));
  EXPECT_FALSE(IsValidSaveName(u"x", TRUE));
  EXPECT_FALSE(IsValidSaveName(nullptr, TRUE));
}

TEST(GetLongestFileNameLength, CountsOnlyNamesBehindASeparator) {
  EXPECT_EQ(GetLongestFileNameLength({u"/a/bcd.pdf", u"x.pdf"}), 7);
  EXPECT_EQ(GetLongestFileNameLength({}), 0);
  EXPECT_EQ(GetLongestFileNameLength({u"/a/b-1.jpg", u"/a/b-10.jpg"}), 8);
  // The folder's limit counts bytes of the native encoding: "é" is two.
  EXPECT_EQ(GetLongestFileNameLength({u"/d/\u00e9.pdf"}), 6);
}

class WriterFolder : public ::testing::Test {
 protected:
  WString Folder() const { return FromAnsi(dir_.Path()); }
  test::TempDir dir_;
};

TEST_F(WriterFolder, OpenWithoutANameUsesTheLocalTimeStamp) {
  ScopedEnv zone("TZ", "UTC0");
  ::tzset();
  SetCurrentTimeSourceForTests([] { return std::int64_t{1796806000}; });  // 2026-12-09 08:46:40 UTC
  for (ConvertorType type : {kConvertorPdf, kConvertorTiff}) {
    IConvertor* writer = nullptr;
    ASSERT_NE(CreateConvertor(TRUE, writer, type), nullptr);
    EXPECT_EQ(writer->Open(Folder().c_str(), nullptr), S_OK);
    EXPECT_EQ(writer->m_outputPaths, WStringList{Folder() + u"/20261209084640" + writer->GetExtension()});
    DeleteConvertor(writer);
  }
  SetCurrentTimeSourceForTests({});
}

// A name the writer makes leaves every file that is there alone: with the
// stamp's outputs taken it takes the stamp with the first free counter, for
// the JPEG writer judged by the range's page names. Entries of any kind
// count, a link that leads nowhere too; a name the caller gives stays.
TEST_F(WriterFolder, MadeNameTakesTheFirstFreeCounterOfItsStamp) {
  ScopedEnv zone("TZ", "UTC0");
  ::tzset();
  SetCurrentTimeSourceForTests([] { return std::int64_t{1796806000}; });  // 20261209084640
  enum Kind { kPdf, kTiff, kJpeg };
  struct Case {
    const char* name;
    Kind kind;
    std::vector<std::string> there;  // files before; "dir:" a folder, "link:" a dead link
    const char16_t* given;           // the caller's name; null: made
    std::vector<std::string> outputs;
  };
  const Case cases[] = {
      {"free", kPdf, {}, nullptr, {"20261209084640.pdf"}},
      {"the stamp taken", kPdf, {"20261209084640.pdf"}, nullptr, {"20261209084640_2.pdf"}},
      {"the stamp and 2 taken", kPdf, {"20261209084640.pdf", "20261209084640_2.pdf"}, nullptr,
       {"20261209084640_3.pdf"}},
      {"another extension", kPdf, {"20261209084640.tif"}, nullptr, {"20261209084640.pdf"}},
      {"a folder of the name", kPdf, {"dir:20261209084640.pdf"}, nullptr,
       {"20261209084640_2.pdf"}},
      {"a dead link of the name", kPdf, {"link:20261209084640.pdf"}, nullptr,
       {"20261209084640_2.pdf"}},
      {"TIFF, the stamp taken", kTiff, {"20261209084640.tif"}, nullptr, {"20261209084640_2.tif"}},
      {"JPEG, one page name taken", kJpeg, {"20261209084640-2.jpg"}, nullptr,
       {"20261209084640_2-1.jpg", "20261209084640_2-2.jpg", "20261209084640_2-3.jpg"}},
      {"JPEG, the pages of 2 taken too", kJpeg, {"20261209084640-3.jpg", "20261209084640_2-1.jpg"},
       nullptr, {"20261209084640_3-1.jpg", "20261209084640_3-2.jpg", "20261209084640_3-3.jpg"}},
      {"JPEG, only names no page takes", kJpeg, {"20261209084640.jpg", "20261209084640-4.jpg"},
       nullptr, {"20261209084640-1.jpg", "20261209084640-2.jpg", "20261209084640-3.jpg"}},
      {"a given name taken", kPdf, {"doc.pdf"}, u"doc.pdf", {"doc.pdf"}},
      {"a given JPEG name taken", kJpeg, {"doc-1.jpg"}, u"doc.jpg",
       {"doc-1.jpg", "doc-2.jpg", "doc-3.jpg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    for (const std::string& entry : c.there) {
      if (entry.starts_with("dir:")) {
        std::filesystem::create_directory(dir.File(entry.substr(4)));
      } else if (entry.starts_with("link:")) {
        std::filesystem::create_symlink(dir.File("nowhere"), dir.File(entry.substr(5)));
      } else {
        test::WriteFile(dir.File(entry), "there");
      }
    }
    IConvertor* writer = nullptr;
    ASSERT_NE(CreateConvertor(c.kind != kJpeg, writer,
                              c.kind == kPdf ? kConvertorPdf : c.kind == kTiff ? kConvertorTiff
                                                                               : kConvertorJpeg),
              nullptr);
    ASSERT_EQ(writer->Open(FromAnsi(dir.Path()).c_str(), c.given), S_OK);
    EXPECT_EQ(writer->IsNameMade(), c.given == nullptr);
    ASSERT_EQ(writer->SetPageRange(1, 3), S_OK);
    WStringList expected;
    for (const std::string& name : c.outputs) expected.push_back(FromAnsi(dir.File(name)));
    EXPECT_EQ(writer->m_outputPaths, expected);
    // Only names were chosen: nothing was made or changed.
    for (const std::string& entry : c.there) {
      if (entry.find(':') == std::string::npos) {
        EXPECT_EQ(test::ReadFile(dir.File(entry)), "there");
      }
    }
    DeleteConvertor(writer);
  }
  SetCurrentTimeSourceForTests({});
}

// Asked again (as the save worker does before it writes), a made name whose
// file has come meanwhile moves on; a free one, and a given one, stay.
TEST_F(WriterFolder, MadeNameMovesOnWhenItsFileComesBeforeTheWriting) {
  ScopedEnv zone("TZ", "UTC0");
  ::tzset();
  SetCurrentTimeSourceForTests([] { return std::int64_t{1796806000}; });
  struct Case {
    ConvertorType type;
    const char16_t* given;
    std::string arriving;
    std::vector<std::string> before, after;
  };
  const Case cases[] = {
      {kConvertorPdf, nullptr, "20261209084640.pdf", {"20261209084640.pdf"},
       {"20261209084640_2.pdf"}},
      {kConvertorJpeg, nullptr, "20261209084640-2.jpg",
       {"20261209084640-1.jpg", "20261209084640-2.jpg"},
       {"20261209084640_2-1.jpg", "20261209084640_2-2.jpg"}},
      {kConvertorPdf, nullptr, "", {"20261209084640.pdf"}, {"20261209084640.pdf"}},
      {kConvertorPdf, u"doc.pdf", "doc.pdf", {"doc.pdf"}, {"doc.pdf"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arriving);
    test::TempDir dir;
    const auto paths = [&](const std::vector<std::string>& names) {
      WStringList list;
      for (const std::string& name : names) list.push_back(FromAnsi(dir.File(name)));
      return list;
    };
    IConvertor* writer = nullptr;
    ASSERT_NE(CreateConvertor(c.type != kConvertorJpeg, writer, c.type), nullptr);
    ASSERT_EQ(writer->Open(FromAnsi(dir.Path()).c_str(), c.given), S_OK);
    ASSERT_EQ(writer->SetPageRange(1, 2), S_OK);
    EXPECT_EQ(writer->m_outputPaths, paths(c.before));
    if (!c.arriving.empty()) test::WriteFile(dir.File(c.arriving), "there");
    writer->KeepMadeNameFree();
    EXPECT_EQ(writer->m_outputPaths, paths(c.after));
    EXPECT_EQ(writer->m_firstPage, 1);
    EXPECT_EQ(writer->m_lastPage, 2);
    DeleteConvertor(writer);
  }
  SetCurrentTimeSourceForTests({});
}

TEST_F(WriterFolder, OpenJoinsFolderAndNameWithOneSeparator) {
  IConvertor writer;
  ASSERT_EQ(writer.Open((Folder() + u"/").c_str(), u"doc.tmp"), S_OK);
  ASSERT_EQ(writer.m_outputPaths.size(), 1u);
  EXPECT_EQ(writer.m_outputPaths[0], Folder() + u"/doc.tmp");
  // A second Open replaces the first output.
  ASSERT_EQ(writer.Open(Folder().c_str(), u"other.tmp"), S_OK);
  ASSERT_EQ(writer.m_outputPaths.size(), 1u);
  EXPECT_EQ(writer.m_outputPaths[0], Folder() + u"/other.tmp");
}

TEST_F(WriterFolder, OpenRefusesWhatIsNoFolderAndLeavesTheWriterEmpty) {
  test::WriteFile(dir_.File("file"), "x");
  IConvertor writer;
  ASSERT_EQ(writer.Open(Folder().c_str(), u"a.tmp"), S_OK);
  writer.SetPageRange(2, 3);
  EXPECT_EQ(writer.Open(FromAnsi(dir_.File("file")).c_str(), u"a.tmp"), E_FAIL);
  EXPECT_TRUE(writer.m_outputPaths.empty());
  EXPECT_TRUE(writer.m_workFolder.empty());
  EXPECT_EQ(writer.m_firstPage, 0);
  EXPECT_EQ(writer.Open(FromAnsi(dir_.File("missing")).c_str(), u"a.tmp"), E_FAIL);
  EXPECT_EQ(writer.Open(nullptr, u"a.tmp"), E_INVALIDARG);
  EXPECT_TRUE(writer.m_outputPaths.empty());
}

TEST_F(WriterFolder, SetWorkFolderKeepsTheOldFolderOnFailure) {
  ScopedEnv temp("TEMP", dir_.Path());
  IConvertor writer;
  ASSERT_EQ(writer.Open(Folder().c_str(), u"a.tmp"), S_OK);
  EXPECT_EQ(writer.m_workFolder, Folder());  // Open takes TEMP
  std::filesystem::create_directory(dir_.File("save"));
  const WString save = FromAnsi(dir_.File("save"));
  ASSERT_EQ(writer.SetWorkFolder(save.c_str()), S_OK);
  EXPECT_EQ(writer.m_workFolder, save);  // as given, no separator added
  EXPECT_EQ(writer.SetWorkFolder(FromAnsi(dir_.File("gone")).c_str()), E_FAIL);
  EXPECT_EQ(writer.m_workFolder, save);
}

TEST(GetTempFolder, TempThenTmpdirThenTmp) {
  struct Case {
    std::optional<std::string> temp;
    std::optional<std::string> tmpdir;
    const char16_t* folder;
  };
  for (const Case& c : {
           Case{"/t/temp", "/t/tmpdir", u"/t/temp"},
           Case{std::nullopt, "/t/tmpdir", u"/t/tmpdir"},
           Case{"", "/t/tmpdir", u"/t/tmpdir"},  // set but empty counts as unset
           Case{std::nullopt, std::nullopt, u"/tmp"},
       }) {
    SCOPED_TRACE(ToAnsi(c.folder));
    ScopedEnv temp("TEMP", c.temp);
    ScopedEnv tmpdir("TMPDIR", c.tmpdir);
    WString folder = u"old";
    EXPECT_EQ(GetTempFolder(folder), TRUE);
    EXPECT_EQ(folder, c.folder);
    // What SetWorkFolder(NULL) stores, whether or not the folder exists.
    IConvertor writer;
    EXPECT_EQ(writer.SetWorkFolder(nullptr), S_OK);
    EXPECT_EQ(writer.m_workFolder, c.folder);
  }
}

}  // namespace
}  // namespace tallow
