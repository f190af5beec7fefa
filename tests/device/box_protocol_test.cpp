// Reply walks and request trees, run through the real XML library on replies
// written here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/box_protocol.h"
#include "support/kivor_loader.h"

namespace tallow {
namespace {

class BoxProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lib_.ok()) << "kivor.so did not load";
    tables_ = BoxTables{};
  }
  void TearDown() override {
    if (doc_) api().FreeDocument(doc_);
  }
  const XmlHttpApi& api() const { return lib_.api(); }

  XhDocument Reply(const std::string& body) {
    if (doc_) api().FreeDocument(doc_);
    doc_ = api().CreateDocument(kBoxTagNames.data());
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><JOB>" + body + "</JOB>";
    EXPECT_TRUE(api().ParseReply(doc_, xml.data(), static_cast<std::uint32_t>(xml.size())));
    return doc_;
  }

  static std::string Folders(int n) {
    std::string out;
    for (int i = 1; i <= n; ++i) {
      out += "<FOLDER><FOLDERID>" + Hex(i) + "</FOLDERID><FOLDERNAME>Box " + std::to_string(i) +
             "</FOLDERNAME><ATTRIBUTE>00000000</ATTRIBUTE></FOLDER>";
    }
    return out;
  }
  static std::string Files(int n) {
    std::string out;
    for (int i = 1; i <= n; ++i) {
      out += "<FILE><FILEID>" + Hex(i) + "</FILEID><FILENAME>Doc " + std::to_string(i) +
             "</FILENAME><PAGES>2</PAGES><IMAGEFORMAT>1</IMAGEFORMAT></FILE>";
    }
    return out;
  }
  static std::string Hex(int v) { return Format("%08X", static_cast<unsigned>(v)); }

  test::KivorLibrary lib_;
  BoxTables tables_;
  XhDocument doc_ = nullptr;
};

TEST_F(BoxProtocolTest, BoxListingKeepsAtMost127BoxesAndTheRoot) {
  PresetBoxListing(tables_, u"127.0.0.1");
  EXPECT_EQ(WalkBoxListing(api(), Reply("<CODE>600</CODE>" + Folders(200)), tables_), 1);
  EXPECT_EQ(tables_.folderCount, 128);
  EXPECT_EQ(WString(tables_.folders[0].FOLDERNAME), u"127.0.0.1");
  EXPECT_EQ(WString(tables_.folders[127].FOLDERNAME), u"Box 127");
  EXPECT_EQ(tables_.folders[127].FOLDERID, 127);
}

TEST_F(BoxProtocolTest, FailingCodeOnBoxListingLeavesTheRootListed) {
  PresetBoxListing(tables_, u"mfp.local");
  EXPECT_EQ(WalkBoxListing(api(), Reply("<CODE>807</CODE>"), tables_), 807);
  WStringList names;
  AppendFolderNames(tables_, names);
  EXPECT_EQ(names, WStringList{u"mfp.local"});
}

TEST_F(BoxProtocolTest, RootNameAfterBoxesRenamesTheRootAndNamesAreCut) {
  PresetBoxListing(tables_, u"127.0.0.1");
  WalkBoxListing(api(),
                 Reply("<CODE>600</CODE>" + Folders(2) +
                       "<FOLDER><FOLDERNAME>ABCDEFGHIJKLMNOPQRST</FOLDERNAME>"
                       "<ATTRIBUTE>00000010</ATTRIBUTE></FOLDER>"
                       "<ROOTNAME>Front office</ROOTNAME>"),
                 tables_);
  WStringList names;
  AppendFolderNames(tables_, names);
  EXPECT_EQ(names, (WStringList{u"Front office", u"Box 1", u"Box 2", u"ABCDEFGHIJKLMNOP"}));
  EXPECT_EQ(tables_.folders[3].ATTRIBUTE, kBoxNeedsPassword);
}

TEST_F(BoxProtocolTest, DocumentListingKeepsAtMost256Documents) {
  tables_.fileCount = -1;
  EXPECT_EQ(WalkFileListing(api(), Reply("<CODE>600</CODE>" + Files(300)), tables_, nullptr), 1);
  EXPECT_EQ(tables_.fileCount, 256);
  EXPECT_EQ(tables_.files[255].FILEID, 256u);
}

TEST_F(BoxProtocolTest, DocumentListingCodes) {
  struct Case {
    const char* reply;
    int result;
    int fileCount;
    int errorCode;  // -5: untouched
  };
  const Case cases[] = {
      {"<CODE>600</CODE>", 1, 0, -5},
      {"<CODE>807</CODE>", 0, 0, 807},
      {"<CODE>600</CODE><FILE><FILEID>00000001</FILEID></FILE><CODE>333</CODE>", 1, 1, 333},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    tables_.fileCount = -1;
    int error = -5;
    EXPECT_EQ(WalkFileListing(api(), Reply(c.reply), tables_, &error), c.result);
    EXPECT_EQ(tables_.fileCount, c.fileCount);
    EXPECT_EQ(error, c.errorCode);
  }
}

TEST_F(BoxProtocolTest, DocumentFieldsAreReadAndFieldsBeforeTheFirstRecordAreDropped) {
  tables_.fileCount = -1;
  const BoxTables before = tables_;
  WalkFileListing(api(),
                  Reply("<FILEID>DEADBEEF</FILEID><FILENAME>stray</FILENAME><CODE>600</CODE>"
                        "<FILE><ATTRIBUTE>00000003</ATTRIBUTE><FOLDERID>00000007</FOLDERID>"
                        "<FOLDERNAME>Scans</FOLDERNAME><FILEID>0000abcd</FILEID>"
                        "<FILENAME>Contract</FILENAME>"
                        "<TIMESTAMP>2026/12/09 08:46:40 and a long tail</TIMESTAMP>"
                        "<PAGES>12</PAGES><IMAGEFORMAT>0</IMAGEFORMAT></FILE>"),
                  tables_, nullptr);
  ASSERT_EQ(tables_.fileCount, 1);
  const BoxFileRecord& f = tables_.files[0];
  EXPECT_EQ(f.ATTRIBUTE, 3);
  EXPECT_EQ(f.FOLDERID, 7);
  EXPECT_EQ(WString(f.FOLDERNAME), u"Scans");
  EXPECT_EQ(f.FILEID, 0xABCDu);
  EXPECT_EQ(WString(f.FILENAME), u"Contract");
  EXPECT_EQ(WString(f.TIMESTAMP), u"2026/12/09 08:46:40 and ");
  EXPECT_EQ(f.PAGES, 12);
  EXPECT_EQ(f.IMAGEFORMAT, kImageFormatMono);
  EXPECT_EQ(0, std::memcmp(&before.folders, &tables_.folders, sizeof before.folders));
}

TEST_F(BoxProtocolTest, ImageInfoKeepsFieldsTheReplyLacks) {
  ImageInfo info{1, 2, 3, 4};
  EXPECT_EQ(WalkImageInfo(api(), Reply("<CODE>600</CODE><XPIXEL>1654</XPIXEL><YRESOLUTION>200</YRESOLUTION>"), info), 1);
  EXPECT_EQ(info.XPIXEL, 1654);
  EXPECT_EQ(info.YPIXEL, 2);
  EXPECT_EQ(info.XRESOLUTION, 3);
  EXPECT_EQ(info.YRESOLUTION, 200);
  EXPECT_EQ(WalkImageInfo(api(), Reply("<CODE>333</CODE><XPIXEL>9</XPIXEL>"), info), 333);
  EXPECT_EQ(info.XPIXEL, 1654);
}

TEST_F(BoxProtocolTest, TransferReplies) {
  struct Case {
    const char* reply;
    bool ok;
    int lastCode;
    unsigned dataSize;
  };
  const Case cases[] = {
      {"<CODE>600</CODE><DATASIZE>00001000</DATASIZE>", true, 600, 0x1000},
      {"<CODE>603</CODE>", true, 603, 0},
      {"<CODE>604</CODE><DATASIZE>00001000</DATASIZE>", false, 604, 0},
      {"<DATASIZE>00000010</DATASIZE>", false, 0, 0x10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    TransferReply r = WalkTransferReply(api(), Reply(c.reply));
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.lastCode, c.lastCode);
    EXPECT_EQ(r.dataSize, c.dataSize);
  }
}

TEST(PageFileNameTest, NamesFollowIdPageAndFormat) {
  EXPECT_EQ(PageFileName(u"/w/save", 0xFF, 12, kImageFormatColor), u"/w/save/000000FF_12.jpg");
  EXPECT_EQ(PageFileName(u"/w/save", 0x1A2B, 3, kImageFormatMono), u"/w/save/00001A2B_3.tif");
  EXPECT_EQ(PageFileName(u"/w/save", 0x1A2B, 3, 2), u"");
}

}  // namespace
}  // namespace tallow
