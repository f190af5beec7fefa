#include "convert/convertor.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <set>

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
