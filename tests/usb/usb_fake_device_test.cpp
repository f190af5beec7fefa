// The USB transport and channel against a scripted device: what goes over
// the Still Image calls, and what the channel makes of replies that no
// well-behaved device sends.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "device/box_protocol.h"
#include "device/usb_channel.h"
#include "device/usb_transport.h"
#include "fake_sti.h"
#include "support/kivor_loader.h"
#include "platform/cursor.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace tallow {
namespace {

using test::FakeReply;
using test::FakeSti;
using test::FilesIn;
using test::ReadFile;

constexpr const char16_t* kDevice = u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000";

std::string Xml(const std::string& inner) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<JOB>" + inner + "</JOB>";
}
std::string Code(int code) { return "<CODE>" + std::to_string(code) + "</CODE>"; }
std::string DataSize(std::uint32_t n) { return Format("<DATASIZE>%08X</DATASIZE>", n); }

class UsbFakeDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lib_.ok()) << "kivor.so did not load";
    UsbBoxTables() = BoxTables{};
    fake_.Bind();
  }
  void TearDown() override {
    // Nothing may stay held or referenced after a command.
    EXPECT_EQ(HeldStiDevice(), nullptr);
    EXPECT_EQ(HeldStillImage(), nullptr);
    EXPECT_EQ(fake_.serviceRefs, 0);
    EXPECT_EQ(fake_.deviceRefs, 0);
  }

  const XmlHttpApi& api() const { return lib_.api(); }

  // A request document of |code| holding a box listing.
  XhDocument ListRequest(std::uint32_t code) {
    XhDocument doc = BeginBoxRequest(api(), kBoxTagNames.data());
    api().SetPacketCode(doc, code);
    BuildListBoxesRequest(api(), doc);
    return doc;
  }

  // One document of |format| in the USB tables, at index 0.
  void OneDocument(std::int32_t format) {
    BoxTables& t = UsbBoxTables();
    t.fileCount = 1;
    t.files[0] = BoxFileRecord{};
    t.files[0].FILEID = 0xABCD;
    t.files[0].PAGES = 3;
    t.files[0].IMAGEFORMAT = format;
  }

  int Download(int page = 2) {
    return UsbDownloadPage(FromAnsi(dir_.Path()), 0, page, kDevice);
  }

  test::KivorLibrary lib_;
  FakeSti fake_;
  test::TempDir dir_;
};

TEST_F(UsbFakeDeviceTest, EscapeHeaderCarriesTheLow16BitsOfThePacketCode) {
  struct Case {
    std::uint32_t code;
    std::string header;
  } cases[] = {
      {0x68, std::string("\x68\x00\x00\x00\x00\x00", 6)},
      {0x60, std::string("\x60\x00\x00\x00\x00\x00", 6)},
      {0x12345662, std::string("\x62\x56\x00\x00\x00\x00", 6)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    fake_.calls.clear();
    ASSERT_EQ(OpenStiDevice(kDevice), 1);
    XhDocument doc = ListRequest(c.code);
    EXPECT_EQ(UsbSendRequest(doc, api()), 1);
    ASSERT_EQ(fake_.CallNames(), (std::vector<std::string>{"create", "escape", "write"}));
    EXPECT_EQ(fake_.calls[0].number, 3u);  // status and data access
    EXPECT_EQ(fake_.calls[1].number, 0x1000u);
    EXPECT_EQ(fake_.calls[1].bytes, c.header);
    // The request bytes are the prepared HTTP message, written as they are.
    EXPECT_EQ(fake_.calls[2].bytes.rfind("POST /ScanBox.cgi?version=2 HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(fake_.calls[2].bytes.find("<COMMAND>LIST</COMMAND>"), std::string::npos);
    api().FreeDocument(doc);
    ReleaseStiDevice();
  }
}

TEST_F(UsbFakeDeviceTest, EscapeNotImplementedSendsOneCommandBlockInstead) {
  fake_.escapeResult = E_NOTIMPL;
  ASSERT_EQ(OpenStiDevice(kDevice), 1);
  XhDocument doc = ListRequest(0x00010068);
  EXPECT_EQ(UsbSendRequest(doc, api()), 1);
  ASSERT_EQ(fake_.CallNames(), (std::vector<std::string>{"create", "escape", "write"}));
  const std::string& block = fake_.calls[2].bytes;
  ASSERT_EQ(block.size(), 16u);  // code, 8-byte address, size
  EXPECT_EQ(block.substr(0, 4), std::string("\x68\x00\x01\x00", 4));  // the whole code
  std::uint32_t size = 0;
  std::memcpy(&size, block.data() + 12, 4);
  EXPECT_EQ(size, api().GetRequestSize(doc));
  // The address held the request bytes while the call ran.
  ASSERT_EQ(fake_.requests.size(), 1u);
  EXPECT_EQ(fake_.requests[0].size(), size);
  EXPECT_EQ(fake_.requests[0].rfind("POST /ScanBox.cgi", 0), 0u);
  api().FreeDocument(doc);
  ReleaseStiDevice();
}

TEST_F(UsbFakeDeviceTest, OtherEscapeFailuresWriteNothing) {
  fake_.escapeResult = E_FAIL;
  ASSERT_EQ(OpenStiDevice(kDevice), 1);
  XhDocument doc = ListRequest(0x60);
  EXPECT_EQ(UsbTransact(doc, api()), 0);
  EXPECT_EQ(fake_.CallNames(), (std::vector<std::string>{"create", "escape"}));
  api().FreeDocument(doc);
  ReleaseStiDevice();
}

TEST_F(UsbFakeDeviceTest, OpenNeedsExactlySOk) {
  for (HRESULT hr : {S_FALSE, E_FAIL}) {
    SCOPED_TRACE(hr);
    fake_.createResult = hr;
    fake_.giveDeviceOnFailure = true;  // a device handed out with a refusal is given back
    EXPECT_EQ(OpenStiDevice(kDevice), 0);
    EXPECT_EQ(HeldStiDevice(), nullptr);
    EXPECT_EQ(HeldStillImage(), nullptr);
    EXPECT_EQ(fake_.deviceRefs, 0);
    EXPECT_EQ(fake_.serviceRefs, 0);
  }
  BindStiCreateInstance(nullptr);
  EXPECT_EQ(OpenStiDevice(kDevice), 0);
}

TEST_F(UsbFakeDeviceTest, ReplyLengthsThatFailWithoutASecondRead) {
  for (long long length : {0LL, (64LL << 20) + 1, 0xFFFFFFFFLL}) {
    SCOPED_TRACE(length);
    fake_.calls.clear();
    FakeReply r{Xml(Code(600))};
    r.announcedLength = length;
    fake_.replies = {r};
    ASSERT_EQ(OpenStiDevice(kDevice), 1);
    XhDocument doc = ListRequest(0x60);
    EXPECT_EQ(UsbTransact(doc, api()), 0);
    EXPECT_EQ(fake_.Count("read"), 1);
    api().FreeDocument(doc);
    ReleaseStiDevice();
  }
}

TEST_F(UsbFakeDeviceTest, ShortBodyReachesTheParserAsItCame) {
  const std::string whole = Xml(Code(600) + "<FOLDER><FOLDERID>1</FOLDERID></FOLDER>");
  // The body announced is longer than what the read gives.
  FakeReply r{whole + std::string(40, ' ')};
  r.bodyGiven = whole.size();
  fake_.replies = {r};
  EXPECT_EQ(UsbListFolders(kDevice), 1);
  EXPECT_EQ(UsbBoxTables().folderCount, 2);
  std::vector<DWORD> wanted;
  for (const test::FakeCall& c : fake_.calls) {
    if (c.what == "read") wanted.push_back(c.number);
  }
  EXPECT_EQ(wanted, (std::vector<DWORD>{4, static_cast<DWORD>(whole.size() + 40)}));
}

TEST_F(UsbFakeDeviceTest, ListingsUnlockFirstOtherCommandsOnlyLock) {
  fake_.replies = {FakeReply{Xml(Code(600))}};
  EXPECT_EQ(UsbListFolders(kDevice), 1);
  std::vector<std::string> names = fake_.CallNames();
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3),
            (std::vector<std::string>{"create", "unlock", "lock"}));
  EXPECT_EQ(fake_.calls[2].number, 1000u);
  EXPECT_EQ(names.back(), "unlock");

  fake_.calls.clear();
  OneDocument(kImageFormatColor);
  fake_.replies = {FakeReply{Xml(Code(600))}};
  EXPECT_EQ(UsbDeleteFile(0, kDevice, nullptr), 1);
  names = fake_.CallNames();
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 2),
            (std::vector<std::string>{"create", "lock"}));
  EXPECT_EQ(fake_.EscapedCodes(), std::vector<unsigned>{0x64});
}

TEST_F(UsbFakeDeviceTest, ADeviceThatStaysLockedIsNotTalkedTo) {
  fake_.lockResult = STIERR_DEVICE_LOCKED;
  EXPECT_EQ(UsbListFolders(kDevice), 0);
  EXPECT_EQ(fake_.Count("escape"), 0);
  EXPECT_EQ(UsbBoxTables().folderCount, 0);
}

TEST_F(UsbFakeDeviceTest, UnopenableDeviceLeavesTheTablesAsPreset) {
  fake_.createResult = E_FAIL;
  SetCursor(IDC_ARROW);
  EXPECT_EQ(UsbListFolders(kDevice), 0);
  EXPECT_EQ(UsbBoxTables().folderCount, 0);
  EXPECT_EQ(WString(UsbBoxTables().folders[0].FOLDERNAME), u"USB");
  WStringList names;
  GetUsbFolderNames(names);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(SetCursor(IDC_ARROW), IDC_ARROW);  // the cursor came back

  UsbBoxTables().folderCount = 2;
  UsbBoxTables().folders[1].FOLDERID = 7;
  int error = -5;
  EXPECT_EQ(UsbListFiles(1, kDevice, u"1234", &error), 0);
  EXPECT_EQ(UsbBoxTables().fileCount, -1);
  EXPECT_EQ(std::string(UsbBoxTables().password), "1234");
  EXPECT_EQ(error, -5);
  // The root is never listed, and nothing is opened for it.
  fake_.calls.clear();
  EXPECT_EQ(UsbListFiles(0, kDevice, u"", &error), 0);
  EXPECT_TRUE(fake_.calls.empty());
}

TEST_F(UsbFakeDeviceTest, ImageInfoGivesTheFailingCode) {
  OneDocument(kImageFormatMono);
  fake_.replies = {FakeReply{Xml(Code(333))}};
  ImageInfo info{};
  EXPECT_EQ(UsbGetImageInfo(0, 1, &info, kDevice), 333);
  EXPECT_EQ(fake_.EscapedCodes(), std::vector<unsigned>{0x65});
}

TEST_F(UsbFakeDeviceTest, EmptyBlockThenLastBlockGiveAnEmptyPageWhichIsNoPage) {
  OneDocument(kImageFormatColor);
  fake_.replies = {FakeReply{Xml(Code(600))}, FakeReply{Xml(Code(600) + DataSize(0))},
                   FakeReply{Xml(Code(603))}};
  EXPECT_EQ(Download(), 0);
  EXPECT_EQ(fake_.EscapedCodes(), (std::vector<unsigned>{0x68, 0x62, 0x62}));
  EXPECT_EQ(fake_.Count("read"), 6);  // no block read for the empty blocks
  EXPECT_TRUE(FilesIn(dir_.Path()).empty());
}

// A page is kept only when it begins as a page of its document's kind does,
// however its bytes were cut into blocks.
TEST_F(UsbFakeDeviceTest, PageFileIsKeptOnlyWhenItIsAPictureOfTheDocumentsKind) {
  const std::string jpeg("\xFF\xD8\xFF\xDB rest", 9);
  const std::string tiffLittle("II*\0 rest", 9), tiffBig("MM\0* rest", 9);
  const std::string garbage("\x00\x01garbage\xFF\xFE not an image", 24);
  struct Case {
    std::int32_t format;
    std::string page;
    std::size_t blockSize;
    bool kept;
  } cases[] = {
      {kImageFormatColor, jpeg, 100, true},
      {kImageFormatColor, jpeg, 1, true},  // the signature over several blocks
      {kImageFormatMono, tiffLittle, 2, true},
      {kImageFormatMono, tiffBig, 100, true},
      {kImageFormatColor, tiffLittle, 100, false},  // a picture of the other kind
      {kImageFormatMono, jpeg, 100, false},
      {kImageFormatColor, garbage, 100, false},
      {kImageFormatMono, garbage, 100, false},
      {kImageFormatColor, jpeg.substr(0, 2), 100, false},  // cut before the signature ends
      {kImageFormatMono, tiffLittle.substr(0, 3), 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format << " " << c.page.size() << " bytes in blocks of " << c.blockSize);
    OneDocument(c.format);
    fake_.replies = {FakeReply{Xml(Code(600))}};
    for (std::size_t at = 0; at < c.page.size(); at += c.blockSize) {
      const std::string block = c.page.substr(at, c.blockSize);
      const bool last = at + c.blockSize >= c.page.size();
      fake_.replies.push_back(FakeReply{Xml(Code(last ? 603 : 601) + DataSize(block.size())), block});
    }
    EXPECT_EQ(Download(), c.kept ? 1 : 0);
    const std::string name = c.format == kImageFormatColor ? "0000ABCD_2.jpg" : "0000ABCD_2.tif";
    if (c.kept) {
      EXPECT_EQ(FilesIn(dir_.Path()), std::vector<std::string>{name});
      EXPECT_EQ(ReadFile(dir_.File(name)), c.page);
      std::remove(dir_.File(name).c_str());
    } else {
      EXPECT_TRUE(FilesIn(dir_.Path()).empty());
    }
  }
}

// A device may answer without data for a while, as it prepares a page; the
// transfer has no limit on such replies, only on time without data.
TEST_F(UsbFakeDeviceTest, RunsOfRepliesWithoutDataAreWaitedOut) {
  auto empties = [](int code, int n) { return std::vector<FakeReply>(n, FakeReply{Xml(Code(code) + DataSize(0))}); };
  struct Case {
    const char* name;
    std::vector<std::vector<FakeReply>> parts;
    std::string page;
  };
  const Case cases[] = {
      {"preparing the page, then its one block",
       {empties(600, 20), {FakeReply{Xml(Code(603) + DataSize(5)), "\xFF\xD8\xFF\xE0x"}}},
       "\xFF\xD8\xFF\xE0x"},
      {"empty replies between blocks, and a last reply without data",
       {{FakeReply{Xml(Code(601) + DataSize(4)), "\xFF\xD8\xFF\xE0"}}, empties(601, 20),
        {FakeReply{Xml(Code(602) + DataSize(1)), "y"}}, empties(601, 18), {FakeReply{Xml(Code(603))}}},
       "\xFF\xD8\xFF\xE0y"},
  };
  OneDocument(kImageFormatColor);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.replies = {FakeReply{Xml(Code(600))}};
    for (const auto& part : c.parts) fake_.replies.insert(fake_.replies.end(), part.begin(), part.end());
    EXPECT_EQ(Download(), 1);
    EXPECT_TRUE(fake_.replies.empty());
    EXPECT_EQ(ReadFile(dir_.File("0000ABCD_2.jpg")), c.page);
  }
}

TEST_F(UsbFakeDeviceTest, ADeviceThatNeverSendsDataIsGivenUpAfterTheStallLimitAndPolledGently) {
  test::ScopedEnv limit("KIVOR_STALL_TIMEOUT_MS", "300");
  OneDocument(kImageFormatColor);
  for (int code : {600, 601, 602}) {
    SCOPED_TRACE(code);
    fake_.calls.clear();
    fake_.replies = {FakeReply{Xml(Code(600))}, FakeReply{Xml(Code(code) + DataSize(0))}};
    fake_.repeatLastReply = true;
    EXPECT_EQ(Download(), 0);
    EXPECT_TRUE(FilesIn(dir_.Path()).empty());
    // Polls that followed each other at once would be in the thousands.
    const std::size_t polls = fake_.EscapedCodes().size() - 1;
    EXPECT_GT(polls, 1u);
    EXPECT_LT(polls, 60u);
  }
}

// Tiny blocks now and then count as no data: the limit is 1 KiB within
// every stall time, so a page that came fast at first and then trickles is
// given up all the same, long before the device is through.
TEST_F(UsbFakeDeviceTest, AFastStartDoesNotExcuseALaterTrickle) {
  test::ScopedEnv limit("KIVOR_STALL_TIMEOUT_MS", "300");
  OneDocument(kImageFormatColor);
  const std::string burst = "\xFF\xD8\xFF\xE0" + std::string((1u << 20) - 4, 'x');
  fake_.replies = {FakeReply{Xml(Code(600))}, FakeReply{Xml(Code(601) + DataSize(burst.size())), burst}};
  // One byte every 20 ms: six seconds' worth.
  FakeReply trickle{Xml(Code(601) + DataSize(1)), "y"};
  trickle.pauseMs = 20;
  fake_.replies.insert(fake_.replies.end(), 300, trickle);
  fake_.replies.push_back(FakeReply{Xml(Code(603))});
  EXPECT_EQ(Download(), 0);
  EXPECT_TRUE(FilesIn(dir_.Path()).empty());
  EXPECT_FALSE(fake_.replies.empty());
}

TEST_F(UsbFakeDeviceTest, LastCodeOnGetFileStillFetchesOneBlock) {
  OneDocument(kImageFormatMono);
  fake_.replies = {FakeReply{Xml(Code(603))}, FakeReply{Xml(Code(603) + DataSize(5)), std::string("II*\0x", 5)}};
  EXPECT_EQ(Download(3), 1);
  EXPECT_EQ(fake_.EscapedCodes(), (std::vector<unsigned>{0x68, 0x62}));
  EXPECT_NE(fake_.requests[0].find("<PAGENUMBER>3</PAGENUMBER>"), std::string::npos);
  EXPECT_NE(fake_.requests[1].find("<COMMAND>GETDATA</COMMAND>"), std::string::npos);
  EXPECT_EQ(ReadFile(dir_.File("0000ABCD_3.tif")), std::string("II*\0x", 5));
}

TEST_F(UsbFakeDeviceTest, UnknownImageFormatFailsAfterTheGetFileExchange) {
  OneDocument(2);
  fake_.replies = {FakeReply{Xml(Code(600))}};
  EXPECT_EQ(Download(), 0);
  EXPECT_EQ(fake_.EscapedCodes(), std::vector<unsigned>{0x68});
  EXPECT_EQ(fake_.Count("read"), 2);
  EXPECT_TRUE(FilesIn(dir_.Path()).empty());
}

TEST_F(UsbFakeDeviceTest, BrokenTransfersLeaveNoPageFile) {
  struct Case {
    const char* name;
    std::vector<FakeReply> replies;
  };
  FakeReply shortBlock{Xml(Code(603) + DataSize(10)), "0123456789"};
  shortBlock.dataGiven = 4;
  const Case cases[] = {
      {"failing code on GETFILE", {FakeReply{Xml(Code(333))}}},
      {"GETFILE without a code", {FakeReply{Xml("<DATASIZE>1</DATASIZE>")}}},
      {"failing code after a block",
       {FakeReply{Xml(Code(600))}, FakeReply{Xml(Code(601) + DataSize(3)), "abc"},
        FakeReply{Xml(Code(700))}}},
      {"a short block", {FakeReply{Xml(Code(600))}, shortBlock}},
      {"a block above 64 MiB", {FakeReply{Xml(Code(600))}, FakeReply{Xml(Code(603) + DataSize(0x4000001))}}},
      {"no reply to GETDATA", {FakeReply{Xml(Code(600))}}},
      {"no reply after empty blocks",
       {FakeReply{Xml(Code(600))}, FakeReply{Xml(Code(601) + DataSize(0))}, FakeReply{Xml(Code(601) + DataSize(0))}}},
  };
  OneDocument(kImageFormatColor);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.calls.clear();
    fake_.replies.assign(c.replies.begin(), c.replies.end());
    EXPECT_EQ(Download(), 0);
    EXPECT_TRUE(FilesIn(dir_.Path()).empty());
  }
}

}  // namespace
}  // namespace tallow
