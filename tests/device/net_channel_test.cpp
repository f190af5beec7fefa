// The network channel against the MFP simulator on loopback.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "device/box_protocol.h"
#include "device/net_channel.h"
#include "support/kivor_loader.h"
#include "platform/cursor.h"
#include "support/scoped_env.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/trickles.h"

namespace tallow {
namespace {

using test::SimOptions;
using test::SimProcess;
using test::TempDir;
using test::FilesIn;
using test::ReadFile;

constexpr const char16_t* kHost = u"127.0.0.1";

const char* kStore = R"(<mfp name="Sim MFP">
  <box id="1" name="Scans">
    <doc id="ABCD" name="Scan 1" timestamp="2026/12/09 08:46:40" pages="3" color="1"
         width="800" height="600" dpi="100"/>
    <doc id="FF" name="Letter" timestamp="2026/12/10 14:03:59" pages="2" color="0"
         width="1728" height="2200" dpi="200"/>
  </box>
  <box id="2" name="Finance" password="1234">
    <doc id="2001" name="Invoice" timestamp="2026/11/30 17:45:00" pages="1" color="0"/>
  </box>
</mfp>)";

class NetChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lib_.ok()) << "kivor.so did not load";
    NetBoxTables() = BoxTables{};
  }

  void Start(const std::string& store = kStore, std::vector<std::string> faults = {}) {
    SimOptions options;
    options.config = store;
    options.faults = std::move(faults);
    sim_ = std::make_unique<SimProcess>(options);
  }
  std::uint16_t port() const { return sim_->Port(); }

  // Lists the boxes and then the documents of box |box|.
  void ListBox(int box, const char16_t* password = u"") {
    ASSERT_EQ(NetListFolders(kHost, port()), 1);
    ASSERT_EQ(NetListFiles(kHost, password, box, port(), nullptr), 1);
  }

  static WStringList FolderNames() {
    WStringList names;
    GetNetFolderNames(names);
    return names;
  }
  static WStringList FileNames() {
    WStringList names;
    GetNetFileNames(names);
    return names;
  }

  test::KivorLibrary lib_;
  std::unique_ptr<SimProcess> sim_;
  TempDir dir_;
};

TEST_F(NetChannelTest, ListsBoxesAndDocumentsWithTheirColumns) {
  Start();
  EXPECT_EQ(NetListFolders(kHost, port()), 1);
  EXPECT_EQ(FolderNames(), (WStringList{u"127.0.0.1", u"Scans", u"Finance"}));

  EXPECT_EQ(NetListFiles(kHost, u"", 1, port(), nullptr), 1);
  EXPECT_EQ(FileNames(), (WStringList{u"Scan 1", u"Letter"}));
  WStringList stamps{u"kept"}, pages;
  GetNetFileTimeStamps(stamps);
  GetNetFilePageCounts(pages);
  EXPECT_EQ(stamps, (WStringList{u"kept", u"2026/12/09 08:46:40", u"2026/12/10 14:03:59"}));
  EXPECT_EQ(pages, (WStringList{u"3", u"2"}));
  EXPECT_EQ(NetBoxTables().files[0].FILEID, 0xABCDu);
  EXPECT_EQ(NetBoxTables().files[1].IMAGEFORMAT, kImageFormatMono);
}

TEST_F(NetChannelTest, ProtectedBoxNeedsItsPassword) {
  Start();
  ASSERT_EQ(NetListFolders(kHost, port()), 1);
  int error = -1;
  EXPECT_EQ(NetListFiles(kHost, u"9999", 2, port(), &error), 0);
  EXPECT_EQ(error, kCodeAuthFailed);
  EXPECT_TRUE(FileNames().empty());

  sim_->ClearLog();
  error = -1;
  EXPECT_EQ(NetListFiles(kHost, u"1234", 2, port(), &error), 1);
  EXPECT_EQ(error, -1);
  EXPECT_EQ(FileNames(), WStringList{u"Invoice"});
  EXPECT_EQ(sim_->Log(), std::vector<std::string>{"scanbox version=2 LIST PASSWORD=1234 FOLDERID=00000002"});
}

TEST_F(NetChannelTest, RootAndUnknownBoxesAreNeverListed) {
  Start();
  ASSERT_EQ(NetListFolders(kHost, port()), 1);
  sim_->ClearLog();
  for (int box : {0, -1, 3, 500}) {
    SCOPED_TRACE(box);
    EXPECT_EQ(NetListFiles(kHost, u"", box, port(), nullptr), 0);
    EXPECT_EQ(NetBoxTables().fileCount, -1);
    EXPECT_TRUE(FileNames().empty());
  }
  EXPECT_TRUE(sim_->Log().empty());
}

TEST_F(NetChannelTest, TablesStopAt127BoxesAnd256Documents) {
  std::string store = "<mfp name=\"Big\">";
  for (int b = 1; b <= 200; ++b) {
    store += Format("<box id=\"%X\" name=\"Box %d\">", b, b);
    if (b == 1) {
      for (int d = 1; d <= 300; ++d) store += Format("<doc id=\"%X\" name=\"Doc %d\"/>", d, d);
    }
    store += "</box>";
  }
  store += "</mfp>";
  Start(store);
  EXPECT_EQ(NetListFolders(kHost, port()), 1);
  EXPECT_EQ(NetBoxTables().folderCount, 128);
  EXPECT_EQ(FolderNames().back(), u"Box 127");
  EXPECT_EQ(NetListFiles(kHost, u"", 1, port(), nullptr), 1);
  EXPECT_EQ(NetBoxTables().fileCount, 256);
  EXPECT_EQ(FileNames().back(), u"Doc 256");
}

TEST_F(NetChannelTest, FailingCodeOfABoxListingLeavesTheRootAlone) {
  Start(kStore, {"list-boxes code 807"});
  EXPECT_EQ(NetListFolders(kHost, port()), 807);
  EXPECT_EQ(FolderNames(), WStringList{u"127.0.0.1"});
}

TEST_F(NetChannelTest, DownloadsPagesUnderTheirPageFileNames) {
  Start();
  ListBox(1);
  sim_->ClearLog();
  EXPECT_EQ(NetDownloadPage(0, 2, kHost, FromAnsi(dir_.Path()), port()), 1);
  EXPECT_EQ(NetDownloadPage(1, 1, kHost, FromAnsi(dir_.Path()), port()), 1);
  EXPECT_EQ(FilesIn(dir_.Path()), (std::vector<std::string>{"000000FF_1.tif", "0000ABCD_2.jpg"}));
  EXPECT_EQ(sim_->Log(), (std::vector<std::string>{"loadimg FileID=0000ABCD PageNumber=2",
                                                   "loadimg FileID=000000FF PageNumber=1"}));
  EXPECT_EQ(ReadFile(dir_.File("0000ABCD_2.jpg")).substr(0, 2), "\xFF\xD8");
  std::string tif = ReadFile(dir_.File("000000FF_1.tif")).substr(0, 4);
  EXPECT_TRUE(tif == std::string("II*\0", 4) || tif == std::string("MM\0*", 4));
}

TEST_F(NetChannelTest, ImageInfoGivesTheStoredSizeOrTheFailingCode) {
  Start();
  ListBox(1);
  ImageInfo info{};
  EXPECT_EQ(NetGetImageInfo(1, 2, &info, kHost, port()), 1);
  EXPECT_EQ(info.XPIXEL, 1728);
  EXPECT_EQ(info.YPIXEL, 2200);
  EXPECT_EQ(info.XRESOLUTION, 200);
  EXPECT_EQ(info.YRESOLUTION, 200);
  EXPECT_EQ(NetGetImageInfo(1, 9, &info, kHost, port()), 334);
  sim_->SetFaults({"imageinfo code 333"});
  EXPECT_EQ(NetGetImageInfo(0, 1, &info, kHost, port()), 333);
}

TEST_F(NetChannelTest, DeletesADocument) {
  Start();
  ListBox(1);
  int error = -1;
  EXPECT_EQ(NetDeleteFile(0, kHost, port(), &error), 1);
  EXPECT_EQ(error, -1);
  sim_->SetFaults({"delete code 807"});
  EXPECT_EQ(NetDeleteFile(1, kHost, port(), &error), 0);
  EXPECT_EQ(error, 807);
  sim_->SetFaults({});
  ASSERT_EQ(NetListFiles(kHost, u"", 1, port(), nullptr), 1);
  EXPECT_EQ(FileNames(), WStringList{u"Letter"});
}

TEST_F(NetChannelTest, DocumentWithoutIdSendsNothing) {
  Start();
  ListBox(1);
  NetBoxTables().files[0].FILEID = 0;
  sim_->ClearLog();
  ImageInfo info{};
  int error = -1;
  EXPECT_EQ(NetDownloadPage(0, 1, kHost, FromAnsi(dir_.Path()), port()), 0);
  EXPECT_EQ(NetGetImageInfo(0, 1, &info, kHost, port()), 0);
  EXPECT_EQ(NetDeleteFile(0, kHost, port(), &error), 0);
  EXPECT_EQ(error, -1);
  EXPECT_TRUE(sim_->Log().empty());
  EXPECT_TRUE(FilesIn(dir_.Path()).empty());
}

// Every bad answer of the box service is "no reply": result 0 and no names,
// never a crash or a hang.
TEST_F(NetChannelTest, BadBoxServiceRepliesGiveNoReply) {
  setenv("KIVOR_STALL_TIMEOUT_MS", "500", 1);
  Start();
  for (const char* fault : {"list-boxes malformed", "list-boxes cut", "list-boxes oversize",
                            "list-boxes stall 5000", "list-boxes drop", "list-boxes empty",
                            "list-boxes status 500"}) {
    SCOPED_TRACE(fault);
    sim_->SetFaults({fault});
    EXPECT_EQ(NetListFolders(kHost, port()), 0);
    EXPECT_EQ(NetBoxTables().folderCount, 0);
    EXPECT_TRUE(FolderNames().empty());
  }
  unsetenv("KIVOR_STALL_TIMEOUT_MS");
}

TEST_F(NetChannelTest, FailedPageDownloadsLeaveNoFile) {
  setenv("KIVOR_STALL_TIMEOUT_MS", "500", 1);
  Start();
  ListBox(1);
  const WString folder = FromAnsi(dir_.Path());
  for (const char* fault : {"loadimg cut", "loadimg stall-mid 5000", "loadimg drop",
                            "loadimg code 333", "loadimg status 500", "loadimg empty",
                            "loadimg malformed"}) {  // 200, but no picture
    SCOPED_TRACE(fault);
    sim_->SetFaults({fault});
    EXPECT_EQ(NetDownloadPage(0, 1, kHost, folder, port()), 0);
    EXPECT_TRUE(FilesIn(dir_.Path()).empty());
  }
  sim_->SetFaults({});
  EXPECT_EQ(NetDownloadPage(0, 1, kHost, folder, port()), 1);
  unsetenv("KIVOR_STALL_TIMEOUT_MS");
}

// With the stall time at 3 s, a page that trickles at 100 bytes a second
// fails and leaves no page file, and a document listing that trickles is no
// reply; a page well above 1 KiB per stall time arrives whole.
TEST_F(NetChannelTest, TricklingTransfersFailAndSlowOnesDoNot) {
  Start(test::kTrickleStore);
  const std::string page = sim_->Get(test::kTricklePage).body;
  ASSERT_GT(page.size(), 16u * 1024);
  const WString folder = FromAnsi(dir_.Path());
  for (const test::Trickle& c : test::kNetworkTrickles) {
    SCOPED_TRACE(c.fault);
    const test::ScopedEnv stall("KIVOR_STALL_TIMEOUT_MS", c.stallMs);
    // A failed listing forgets the documents: each case lists them anew.
    sim_->SetFaults({});
    ListBox(1);
    sim_->SetFaults({c.fault});
    if (c.page) {
      EXPECT_EQ(NetDownloadPage(0, 1, kHost, folder, port()), c.through ? 1 : 0);
      if (c.through) {
        EXPECT_EQ(ReadFile(dir_.File("0000ABCD_1.jpg")), page);
        std::remove(dir_.File("0000ABCD_1.jpg").c_str());
      }
      EXPECT_TRUE(FilesIn(dir_.Path()).empty());
    } else {
      EXPECT_EQ(NetListFiles(kHost, u"", 1, port(), nullptr), c.through ? 1 : 0);
      EXPECT_EQ(FileNames(), c.through ? WStringList{u"Small"} : WStringList{});
    }
  }
}

TEST_F(NetChannelTest, NoMfpListeningGivesNoReply) {
  // A port that was free a moment ago: nothing answers there.
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);
  const std::uint16_t deadPort = ntohs(a.sin_port);

  EXPECT_EQ(NetListFolders(kHost, deadPort), 0);
  EXPECT_TRUE(FolderNames().empty());
  EXPECT_EQ(NetListFiles(u"no host at all", u"", 1, deadPort, nullptr), 0);
}

class RecordingCursor : public CursorBackend {
 public:
  void Show(HCURSOR c) override { shown.push_back(c); }
  std::vector<HCURSOR> shown;
};

TEST_F(NetChannelTest, WaitCursorShowsDuringACommandOnly) {
  Start();
  RecordingCursor cursor;
  SetCursor(IDC_ARROW);
  InstallCursorBackend(&cursor);
  NetListFolders(kHost, port());
  NetDownloadPage(0, 1, kHost, FromAnsi(dir_.Path()), port());  // nothing listed: no cursor
  InstallCursorBackend(nullptr);
  EXPECT_EQ(cursor.shown, (std::vector<HCURSOR>{IDC_WAIT, IDC_ARROW}));
}

TEST(NetChannelUnboundTest, WithoutTheLibraryEveryCommandFails) {
  BindXmlHttpApi(nullptr);
  EXPECT_EQ(NetListFolders(kHost, 80), 0);
  EXPECT_EQ(NetBoxTables().folderCount, 0);
  XmlHttpApi empty{};
  EXPECT_FALSE(BindXmlHttpApi(&empty));
  EXPECT_EQ(BoundXmlHttpApi(), nullptr);
}

}  // namespace
}  // namespace tallow
