// The channel layer: transport choice, boxes by tree key, and the date sort
// that keeps the channel's table in step with the sorted columns.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>

#include "core/work_folders.h"
#include "device/channel_layer.h"
#include "device/sti_binding.h"
#include "support/kivor_loader.h"
#include "platform/library.h"
#include "device/net_channel.h"
#include "device/usb_channel.h"
#include "support/program_folder.h"
#include "support/sim_process.h"

namespace tallow {
namespace {

struct Doc {
  std::uint32_t id;
  const char16_t* name;
  const char16_t* stamp;
  int pages;
  int format;
};

void FillTable(BoxTables& t, std::initializer_list<Doc> docs) {
  t = BoxTables{};
  t.fileCount = 0;
  for (const Doc& d : docs) {
    BoxFileRecord& r = t.files[t.fileCount++];
    r.FILEID = d.id;
    CopyToField(r.FILENAME, kNameLength, d.name);
    CopyToField(r.TIMESTAMP, kTimeStampLength, d.stamp);
    r.PAGES = d.pages;
    r.IMAGEFORMAT = d.format;
  }
}

struct Columns {
  WStringList names, stamps, pages;
  std::int32_t formats[kMaxFormatEntries];
};

Columns SortedColumns(int usbFlag) {
  Columns c;
  std::fill(std::begin(c.formats), std::end(c.formats), -7);
  GetFileListColumns(usbFlag, c.names, c.stamps, c.pages, c.formats);
  SortFileListByDate(usbFlag, c.names, c.stamps, c.pages, c.formats);
  return c;
}

class ChannelLayerTest : public ::testing::TestWithParam<int> {
 protected:
  BoxTables& Tables() { return GetParam() == kUsbFlag ? UsbBoxTables() : NetBoxTables(); }
  BoxTables& OtherTables() { return GetParam() == kUsbFlag ? NetBoxTables() : UsbBoxTables(); }
};

TEST_P(ChannelLayerTest, DateSortMovesTheOlderDocumentFirstWithItsIdAndFormat) {
  FillTable(Tables(), {{0xA, u"March 5", u"2020/03/05", 2, kImageFormatColor},
                       {0xB, u"March 4", u"2020-03-04 17:30", 5, kImageFormatMono}});
  Columns c = SortedColumns(GetParam());
  EXPECT_EQ(c.names, (WStringList{u"March 4", u"March 5"}));
  EXPECT_EQ(c.stamps, (WStringList{u"2020/03/04 17:30:00", u"2020/03/05 00:00:00"}));
  EXPECT_EQ(c.pages, (WStringList{u"5", u"2"}));
  EXPECT_EQ(c.formats[0], kImageFormatMono);
  EXPECT_EQ(c.formats[1], kImageFormatColor);
  EXPECT_EQ(c.formats[2], -7);
  EXPECT_EQ(Tables().files[0].FILEID, 0xBu);
  EXPECT_EQ(Tables().files[0].IMAGEFORMAT, kImageFormatMono);
  EXPECT_EQ(Tables().files[1].FILEID, 0xAu);
}

TEST_P(ChannelLayerTest, DateSortMovesEveryFieldOfARecordWithItsRow) {
  BoxTables& t = Tables();
  t = BoxTables{};
  t.fileCount = 3;
  const char16_t* stamps[] = {u"2020/03/06 08:00:00", u"2020/03/04 08:00:00", u"2020/03/05 08:00:00"};
  for (int i = 0; i < 3; ++i) {
    BoxFileRecord& r = t.files[i];
    r.ATTRIBUTE = 0x100 + i;
    r.FOLDERID = 0x200 + i;
    CopyToField(r.FOLDERNAME, kNameLength, FromAnsi(Format("box %d", i)));
    r.FILEID = 0x300u + i;
    CopyToField(r.FILENAME, kNameLength, FromAnsi(Format("doc %d", i)));
    CopyToField(r.TIMESTAMP, kTimeStampLength, stamps[i]);
    r.PAGES = 10 + i;
    r.IMAGEFORMAT = i % 2;
  }
  const BoxTables before = t;
  Columns c = SortedColumns(GetParam());
  ASSERT_EQ(c.names, (WStringList{u"doc 1", u"doc 2", u"doc 0"}));
  const int from[] = {1, 2, 0};  // the record each entry came from
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const BoxFileRecord& got = t.files[i];
    const BoxFileRecord& want = before.files[from[i]];
    EXPECT_EQ(got.ATTRIBUTE, want.ATTRIBUTE);
    EXPECT_EQ(got.FOLDERID, want.FOLDERID);
    EXPECT_EQ(WString(got.FOLDERNAME), WString(want.FOLDERNAME));
    EXPECT_EQ(got.FILEID, want.FILEID);
    EXPECT_EQ(WString(got.FILENAME), c.names[i]);
    EXPECT_EQ(WString(got.TIMESTAMP), WString(want.TIMESTAMP));
    EXPECT_EQ(got.PAGES, want.PAGES);
    EXPECT_EQ(got.IMAGEFORMAT, want.IMAGEFORMAT);
    EXPECT_EQ(c.formats[i], want.IMAGEFORMAT);
  }
  EXPECT_EQ(t.fileCount, 3);
}

TEST_P(ChannelLayerTest, UnparsableMiddleStampKeepsItsNeighboursApart) {
  FillTable(Tables(), {{1, u"first", u"2020/03/05 10:00:00", 1, 1},
                       {2, u"middle", u"yesterday", 1, 1},
                       {3, u"last", u"2020/03/04 10:00:00", 1, 1}});
  Columns c = SortedColumns(GetParam());
  EXPECT_EQ(c.names, (WStringList{u"first", u"middle", u"last"}));
  EXPECT_EQ(c.stamps[2], u"2020/03/04 10:00:00");
  EXPECT_EQ(Tables().files[0].FILEID, 1u);
}

TEST_P(ChannelLayerTest, EqualStampsAreNeitherSwappedNorRewritten) {
  FillTable(Tables(), {{1, u"a", u"2020-03-04 10:00", 1, 1}, {2, u"b", u"2020/03/04 10:00:00", 1, 0}});
  Columns c = SortedColumns(GetParam());
  EXPECT_EQ(c.names, (WStringList{u"a", u"b"}));
  EXPECT_EQ(c.stamps, (WStringList{u"2020-03-04 10:00", u"2020/03/04 10:00:00"}));
}

TEST_P(ChannelLayerTest, FailedListingGivesNoColumns) {
  Tables() = BoxTables{};
  Tables().fileCount = -1;
  Columns c;
  c.formats[0] = -7;
  GetFileListColumns(GetParam(), c.names, c.stamps, c.pages, c.formats);
  EXPECT_TRUE(c.names.empty() && c.stamps.empty() && c.pages.empty());
  EXPECT_EQ(c.formats[0], -7);
}

TEST_P(ChannelLayerTest, BoxesAreFoundByTreeKey) {
  BoxTables& t = Tables();
  t = BoxTables{};
  EXPECT_EQ(FindFolderIndex(GetParam(), 0), 0);  // the root, even with no listing
  EXPECT_EQ(FindFolderIndex(GetParam(), 77), -1);
  t.folderCount = 3;
  t.folders[1].treeKey = 77;
  t.folders[2].treeKey = 99;
  t.folders[2].ATTRIBUTE = kBoxNeedsPassword;
  EXPECT_EQ(FindFolderIndex(GetParam(), 99), 2);
  EXPECT_EQ(IsFolderPasswordProtected(GetParam(), 99), 1);
  EXPECT_EQ(IsFolderPasswordProtected(GetParam(), 77), 0);
  EXPECT_EQ(IsFolderPasswordProtected(GetParam(), 1234), 0);
  // By index, as the Simple view asks: only within the listing.
  EXPECT_EQ(IsBoxPasswordProtected(GetParam(), 2), 1);
  EXPECT_EQ(IsBoxPasswordProtected(GetParam(), 1), 0);
  t.folders[3].ATTRIBUTE = kBoxNeedsPassword;
  for (int outside : {3, -1, kMaxBoxRecords}) {
    EXPECT_EQ(IsBoxPasswordProtected(GetParam(), outside), 0) << outside;
  }
  // The root and a key that shows no box list nothing.
  EXPECT_EQ(ListFolderFilesByKey(GetParam(), 0, u"127.0.0.1", 9, 0, u"", nullptr), 0);
  EXPECT_EQ(ListFolderFilesByKey(GetParam(), 1234, u"127.0.0.1", 9, 1, u"", nullptr), 0);

  WString name = u"stale";
  EXPECT_FALSE(GetFolderNameAt(5, name, GetParam()));
  EXPECT_TRUE(name.empty());
}

TEST_P(ChannelLayerTest, TreeKeysGoToListedBoxesOfTheirChannelOnly) {
  const int otherFlag = GetParam() == kUsbFlag ? 0 : kUsbFlag;
  for (BoxTables* t : {&Tables(), &OtherTables()}) {
    *t = BoxTables{};
    t->folderCount = 3;
    for (int i = 0; i < 3; ++i) CopyToField(t->folders[i].FOLDERNAME, kNameLength, FromAnsi(Format("box %d", i)));
  }
  struct Case {
    int index;
    bool stored;
  };
  for (const Case& c : {Case{0, true}, Case{2, true}, Case{3, false}, Case{-1, false},
                        Case{kMaxBoxRecords, false}}) {
    SCOPED_TRACE(c.index);
    const TreeItemKey key = 500 + c.index;
    EXPECT_EQ(SetFolderTreeKey(GetParam(), c.index, key), c.stored);
    EXPECT_EQ(FindFolderIndex(GetParam(), key), c.stored ? c.index : -1);
    EXPECT_EQ(FindFolderIndex(otherFlag, key), -1);
  }

  WStringList names{u"kept"};
  GetFolderNames(GetParam(), names);
  EXPECT_EQ(names, (WStringList{u"kept", u"box 0", u"box 1", u"box 2"}));
}

TEST_P(ChannelLayerTest, ListedDocumentsGiveTheirIdAndPageFiles) {
  FillTable(Tables(), {{0xFF, u"colour", u"", 12, kImageFormatColor},
                       {0x1A2B, u"mono", u"", 3, kImageFormatMono},
                       {0x77, u"other format", u"", 1, 2}});
  FillTable(OtherTables(), {{0xDEAD, u"other channel", u"", 1, kImageFormatColor},
                            {0xBEEF, u"other channel", u"", 1, kImageFormatColor},
                            {0xF00D, u"other channel", u"", 1, kImageFormatColor},
                            {0xCAFE, u"other channel", u"", 1, kImageFormatColor}});
  MFPInfo mfp;
  mfp.isUSB = GetParam() == kUsbFlag ? TRUE : FALSE;
  struct Case {
    int index;
    int page;
    bool listed;
    std::uint32_t id;
    const char16_t* pageFile;  // in the folder; null: none
  };
  const Case cases[] = {
      {0, 12, true, 0xFF, u"/000000FF_12.jpg"},
      {1, 3, true, 0x1A2B, u"/00001A2B_3.tif"},
      {2, 1, true, 0x77, nullptr},
      {3, 1, false, 0, nullptr},  // past the listing, though the other channel has a fourth
      {-1, 1, false, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    std::uint32_t id = 99;
    EXPECT_EQ(GetFileId(mfp, c.index, id), c.listed);
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(PreviewPageFilePath(mfp, c.index, c.page),
              c.pageFile ? PreviewFolderPath() + c.pageFile : WString());
    EXPECT_EQ(SavePageFilePath(mfp, c.index, c.page),
              c.pageFile ? SaveFolderPath() + c.pageFile : WString());
  }

  Tables().fileCount = -1;  // a document listing that got no reply
  std::uint32_t id = 99;
  EXPECT_FALSE(GetFileId(mfp, 0, id));
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(PreviewPageFilePath(mfp, 0, 12), u"");
}

INSTANTIATE_TEST_SUITE_P(BothChannels, ChannelLayerTest, ::testing::Values(0, kUsbFlag),
                         [](const auto& info) { return info.param == kUsbFlag ? "Usb" : "Network"; });

TEST(ChannelLayer, DeviceAddressFollowsTheTransport) {
  MFPInfo mfp;
  mfp.IPv4Address = u"127.0.0.1";
  mfp.deviceInternalName = u"usb-mfp-0";
  EXPECT_EQ(GetDeviceAddress(mfp), u"127.0.0.1");
  mfp.isUSB = TRUE;
  EXPECT_EQ(GetDeviceAddress(mfp), u"usb-mfp-0");
}

TEST(ChannelLayer, ListDateTimeTexts) {
  DATE d = 0;
  ASSERT_EQ(VarDateFromStr(u"2026/12/09 08:46:40", LOCALE_USER_DEFAULT, 0, &d), S_OK);
  EXPECT_EQ(FormatListDateTime(d, DateStatus::Valid), u"2026/12/09 08:46:40");
  EXPECT_EQ(FormatListDateTime(d, DateStatus::Invalid), u"Invalid DateTime");
  EXPECT_EQ(FormatListDateTime(d, DateStatus::Null), u"");
}

TEST(OleDate, DatesBeforeTheEpochSortByTimeOfDay) {
  FillTable(NetBoxTables(), {{1, u"later", u"1899/12/29 18:00", 1, 1},
                             {2, u"earlier", u"1899/12/29 06:00", 1, 1}});
  Columns c = SortedColumns(0);
  EXPECT_EQ(c.names, (WStringList{u"earlier", u"later"}));
  EXPECT_EQ(c.stamps[0], u"1899/12/29 06:00:00");
}

// Saving and previewing reach the page files and image information through
// whichever channel the MFP settings name. Each test keeps its working
// folders in a program folder of its own.
class ChannelLayerSimTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kivor_.ok());
    sti_ = LoadLibraryW(u"sti.dll");
    ASSERT_NE(sti_, nullptr);
    BindStiCreateInstance(GetProcAddress(sti_, "StiCreateInstanceW"));
    test::SimOptions options;
    options.config = R"(<mfp name="Sim"><box id="1" name="Scans">
      <doc id="5A0" name="Scan" pages="2" color="1" width="640" height="480" dpi="150"/>
      </box></mfp>)";
    options.usb = {"chan-usb-0,id=usb\\vid_1144&pid_0001"};
    sim_ = std::make_unique<test::SimProcess>(options);
    setenv("TALLOWMERE_USB_REGISTRY", sim_->UsbRegistry().c_str(), 1);
    CreateWorkFolders();
    mfp_.isUSB = GetParam() ? TRUE : FALSE;
    mfp_.IPv4Address = u"127.0.0.1";
    mfp_.httpPortNumber = sim_->Port();
    mfp_.deviceInternalName = u"chan-usb-0";
  }
  void TearDown() override {
    sim_.reset();
    BindStiCreateInstance(nullptr);
    if (sti_) FreeLibrary(sti_);
  }
  bool HasPage(const std::string& rel) const {
    return program_.Read(rel).substr(0, 3) == "\xFF\xD8\xFF";
  }

  test::ScratchProgramFolder program_{"kivor.so", "sti.so"};
  test::KivorLibrary kivor_;
  HMODULE sti_ = nullptr;
  std::unique_ptr<test::SimProcess> sim_;
  MFPInfo mfp_;
};

TEST_P(ChannelLayerSimTest, SavesAndPreviewsPagesThroughTheChosenChannel) {
  WStringList boxes{u"stale"};
  ASSERT_EQ(RefreshFolderList(mfp_, boxes), 1);
  EXPECT_EQ(boxes, (WStringList{GetParam() ? u"USB" : u"127.0.0.1", u"Scans"}));
  WString name;
  EXPECT_TRUE(GetFolderName(mfp_, name, 1));
  EXPECT_EQ(name, u"Scans");

  ASSERT_EQ(ListFolderFiles(mfp_, 0, 1, u"", nullptr), 1);
  ImageInfo info{};
  EXPECT_EQ(DownloadPageForSave(mfp_, 0, 2, &info), 1);
  EXPECT_EQ(info.XPIXEL, 640);
  EXPECT_EQ(info.YRESOLUTION, 150);
  EXPECT_EQ(SaveFolderPath(), program_.Wide("work/save"));
  EXPECT_TRUE(HasPage("work/save/000005A0_2.jpg"));
  EXPECT_EQ(DownloadPageForPreview(mfp_, 0, 1), 1);
  EXPECT_TRUE(HasPage("work/preview/000005A0_1.jpg"));
  EXPECT_EQ(SavePageFilePath(mfp_, 0, 2), SaveFolderPath() + u"/000005A0_2.jpg");
  EXPECT_EQ(PreviewPageFilePath(mfp_, 0, 1), PreviewFolderPath() + u"/000005A0_1.jpg");
  std::uint32_t id = 0;
  EXPECT_TRUE(GetFileId(mfp_, 0, id));
  EXPECT_EQ(id, 0x5A0u);

  // A page that cannot be downloaded is not asked about.
  sim_->ClearLog();
  info = ImageInfo{};
  EXPECT_EQ(DownloadPageForSave(mfp_, 0, 9, &info), 0);
  for (const std::string& line : sim_->Log()) EXPECT_EQ(line.find("GETIMAGEINFO"), std::string::npos) << line;

  int error = -1;
  EXPECT_EQ(DeleteDeviceFile(mfp_, 0, &error), 1);
  EXPECT_EQ(error, -1);
}

INSTANTIATE_TEST_SUITE_P(BothChannels, ChannelLayerSimTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Usb" : "Network"; });

}  // namespace
}  // namespace tallow
