// The USB channel, enumeration and the registry stand-in through the Still
// Image stand-in (sti.so) against the simulator's USB devices.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "device/sti_binding.h"
#include "device/usb_channel.h"
#include "device/usb_enum.h"
#include "device/usb_transport.h"
#include "support/kivor_loader.h"
#include "support/sti_loader.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "support/scoped_env.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/trickles.h"

namespace tallow {
namespace {

using test::SimOptions;
using test::StiLibrary;
using test::SimProcess;
using test::TempDir;
using test::FilesIn;
using test::ReadFile;

const char* kStore = R"(<mfp name="Sim MFP">
  <box id="1" name="Scans">
    <doc id="ABCD" name="Scan 1" timestamp="2026/12/09 08:46:40" pages="3" color="1"
         width="400" height="300" dpi="100"/>
    <doc id="FF" name="Letter" timestamp="2026/12/10 14:03:59" pages="2" color="0"
         width="864" height="1100" dpi="100"/>
  </box>
  <box id="2" name="Finance" password="1234">
    <doc id="2001" name="Invoice" pages="1" color="0" width="200" height="200"/>
  </box>
</mfp>)";

class UsbSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kivor_.ok()) << "kivor.so did not load";
    ASSERT_TRUE(sti_.ok()) << "sti.so did not load";
    UsbBoxTables() = BoxTables{};
    setenv("TALLOWMERE_STI_TIMEOUT_MS", "3000", 1);
  }
  void TearDown() override {
    EXPECT_EQ(HeldStiDevice(), nullptr);
    if (sim_ && sim_->Pid() > 0) {
      EXPECT_EQ(sim_->Terminate(), 0) << "the simulator did not end cleanly";
      EXPECT_TRUE(FilesIn(sim_->UsbRegistry(), ".device").empty()) << "registry entries left";
    }
  }

  void Start(std::vector<std::string> usb, std::vector<std::string> extra = {},
             const std::string& store = kStore) {
    SimOptions options;
    options.config = store;
    options.usb = std::move(usb);
    options.extraArgs = std::move(extra);
    sim_ = std::make_unique<SimProcess>(options);
    setenv("TALLOWMERE_USB_REGISTRY", sim_->UsbRegistry().c_str(), 1);
  }

  void ListBox(const char16_t* device, int box = 1) {
    ASSERT_EQ(UsbListFolders(device), 1);
    ASSERT_EQ(UsbListFiles(box, device, u"", nullptr), 1);
  }

  // The page as the same simulator serves it over HTTP.
  std::string HttpPage(const char* fileId, int page) {
    test::HttpReply r = sim_->Get(Format("/loadimg.cgi?FileID=%s&PageNumber=%d", fileId, page));
    EXPECT_EQ(r.status, 200);
    return r.body;
  }

  static WStringList FolderNames() {
    WStringList names;
    GetUsbFolderNames(names);
    return names;
  }
  static WStringList FileNames() {
    WStringList names;
    GetUsbFileNames(names);
    return names;
  }

  test::KivorLibrary kivor_;
  StiLibrary sti_;
  std::unique_ptr<SimProcess> sim_;
  TempDir dir_;
};

TEST_F(UsbSimTest, ListsReadsAndDeletesOverUsb) {
  Start({"MFP-A"});
  EXPECT_EQ(sim_->UsbDevices(), std::vector<std::string>{"MFP-A"});
  EXPECT_EQ(UsbListFolders(u"MFP-A"), 1);
  EXPECT_EQ(FolderNames(), (WStringList{u"USB", u"Scans", u"Finance"}));
  EXPECT_EQ(UsbListFiles(1, u"MFP-A", u"", nullptr), 1);
  EXPECT_EQ(FileNames(), (WStringList{u"Scan 1", u"Letter"}));
  WStringList stamps, pages;
  GetUsbFileTimeStamps(stamps);
  GetUsbFilePageCounts(pages);
  EXPECT_EQ(stamps, (WStringList{u"2026/12/09 08:46:40", u"2026/12/10 14:03:59"}));
  EXPECT_EQ(pages, (WStringList{u"3", u"2"}));

  ImageInfo info{};
  EXPECT_EQ(UsbGetImageInfo(1, 2, &info, u"MFP-A"), 1);
  EXPECT_EQ(info.XPIXEL, 864);
  EXPECT_EQ(info.YPIXEL, 1100);
  EXPECT_EQ(info.XRESOLUTION, 100);
  EXPECT_EQ(UsbGetImageInfo(1, 9, &info, u"MFP-A"), 334);

  int error = -1;
  EXPECT_EQ(UsbDeleteFile(0, u"MFP-A", &error), 1);
  EXPECT_EQ(error, -1);
  EXPECT_EQ(UsbListFiles(1, u"MFP-A", u"", nullptr), 1);
  EXPECT_EQ(FileNames(), WStringList{u"Letter"});

  sim_->ClearLog();
  EXPECT_EQ(UsbListFiles(2, u"MFP-A", u"9999", &error), 0);
  EXPECT_EQ(error, 807);
  EXPECT_EQ(UsbListFiles(2, u"MFP-A", u"1234", nullptr), 1);
  EXPECT_EQ(FileNames(), WStringList{u"Invoice"});
  EXPECT_EQ(sim_->Log(),
            (std::vector<std::string>{
                "usb MFP-A escape 0060 scanbox version=2 LIST PASSWORD=9999 FOLDERID=00000002",
                "usb MFP-A escape 0060 scanbox version=2 LIST PASSWORD=1234 FOLDERID=00000002"}));
}

TEST_F(UsbSimTest, CommandBlockCarriesTheRequestWhenTheEscapeIsNotImplemented) {
  Start({"MFP-B,escape=notimpl"});
  ListBox(u"MFP-B");
  EXPECT_EQ(UsbDownloadPage(FromAnsi(dir_.Path()), 0, 1, u"MFP-B"), 1);
  EXPECT_EQ(ReadFile(dir_.File("0000ABCD_1.jpg")), HttpPage("0000ABCD", 1));
  std::vector<std::string> log = sim_->Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0], "usb MFP-B block 00000060 scanbox version=2 LIST");
}

TEST_F(UsbSimTest, PagesAreByteIdenticalForBlocksSmallerEqualAndLargerThanAPage) {
  Start({"MFP-A"});
  const std::size_t colourSize = HttpPage("0000ABCD", 2).size();
  ASSERT_GT(colourSize, 1000u);
  sim_->Terminate();
  for (std::size_t block : {colourSize / 7, colourSize, colourSize + 1}) {
    SCOPED_TRACE(block);
    Start({"MFP-A"}, {"--usb-block-size", std::to_string(block)});
    TempDir folder;
    ListBox(u"MFP-A");
    EXPECT_EQ(UsbDownloadPage(FromAnsi(folder.Path()), 0, 2, u"MFP-A"), 1);
    EXPECT_EQ(UsbDownloadPage(FromAnsi(folder.Path()), 1, 1, u"MFP-A"), 1);
    EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{"000000FF_1.tif", "0000ABCD_2.jpg"}));
    EXPECT_EQ(ReadFile(folder.File("0000ABCD_2.jpg")), HttpPage("0000ABCD", 2));
    EXPECT_EQ(ReadFile(folder.File("000000FF_1.tif")), HttpPage("000000FF", 1));
    EXPECT_EQ(sim_->Terminate(), 0);
  }
}

TEST_F(UsbSimTest, DeviceFaultsFailTheCommandAndLeaveNoPageFile) {
  setenv("TALLOWMERE_STI_TIMEOUT_MS", "300", 1);
  Start({"MFP-A"}, {"--usb-block-size", "4096"});
  ListBox(u"MFP-A");
  const WString folder = FromAnsi(dir_.Path());
  struct Case {
    const char* fault;
    bool download;
    int expected;
  } cases[] = {
      {"list-boxes code 807", false, 807},
      {"list-boxes cut", false, 0},
      {"list-boxes empty", false, 0},  // a reply length of 0
      {"list-boxes drop", false, 0},   // the device goes away instead of answering
      {"list-boxes malformed", false, 0},
      {"list-boxes oversize", false, 0},  // a length above 64 MiB
      {"list-boxes status 500", false, 0},  // the raw command is refused
      {"list-boxes stall 20000", false, 0},  // a device that hangs
      {"list-boxes stall-mid 20000", false, 0},  // ... after the reply's length
      {"getfile code 333", true, 0},
      {"getdata code 700", true, 0},
      {"getdata cut", true, 0},
      {"getdata oversize", true, 0},
      {"getdata drop", true, 0},
      {"getdata stall 20000", true, 0},
      {"getdata stall-mid 20000", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    sim_->SetFaults({c.fault});
    if (c.download) {
      EXPECT_EQ(UsbDownloadPage(folder, 0, 1, u"MFP-A"), c.expected);
    } else {
      EXPECT_EQ(UsbListFolders(u"MFP-A"), c.expected);
    }
    EXPECT_TRUE(FilesIn(dir_.Path()).empty());
    // The next command finds the device as before.
    sim_->SetFaults({});
    EXPECT_EQ(UsbListFolders(u"MFP-A"), 1);
  }
  EXPECT_EQ(UsbListFiles(1, u"MFP-A", u"", nullptr), 1);
  // A pause shorter than the time-out is waited out.
  sim_->SetFaults({"getdata stall-mid 100"});
  EXPECT_EQ(UsbDownloadPage(folder, 0, 1, u"MFP-A"), 1);
  EXPECT_EQ(ReadFile(dir_.File("0000ABCD_1.jpg")), HttpPage("0000ABCD", 1));
}

// With the stall time at 3 s, a page that trickles at 100 bytes a second in
// tiny blocks fails and leaves no page file; one well above 1 KiB per stall
// time arrives whole.
TEST_F(UsbSimTest, TricklingPagesFailAndSlowOnesDoNot) {
  Start({"MFP-A"}, {}, test::kTrickleStore);
  ListBox(u"MFP-A");
  const std::string page = HttpPage("0000ABCD", 1);
  ASSERT_GT(page.size(), 16u * 1024);
  const WString folder = FromAnsi(dir_.Path());
  for (const test::Trickle& c : test::kUsbTrickles) {
    SCOPED_TRACE(c.fault);
    const test::ScopedEnv stall("KIVOR_STALL_TIMEOUT_MS", c.stallMs);
    sim_->SetFaults({c.fault});
    sim_->ClearLog();
    EXPECT_EQ(UsbDownloadPage(folder, 0, 1, u"MFP-A"), c.through ? 1 : 0);
    if (c.through) {
      EXPECT_EQ(ReadFile(dir_.File("0000ABCD_1.jpg")), page);
      std::remove(dir_.File("0000ABCD_1.jpg").c_str());
    }
    EXPECT_TRUE(FilesIn(dir_.Path()).empty());
    // Many small blocks, not a few large ones.
    const std::vector<std::string> log = sim_->Log();
    EXPECT_GT(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.ends_with("GETDATA"); }),
              2);
  }
}

// A trickle that would go on for hours ends as the simulator stops, and
// the transfer with it.
TEST_F(UsbSimTest, StoppingTheSimulatorEndsATrickle) {
  Start({"MFP-A"});
  ListBox(u"MFP-A");
  sim_->SetFaults({"getdata trickle 1"});
  sim_->ClearLog();
  int result = -1;
  std::thread download([&] { result = UsbDownloadPage(FromAnsi(dir_.Path()), 0, 1, u"MFP-A"); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (sim_->Log().size() < 2 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GE(sim_->Log().size(), 2u) << "no GETDATA";
  EXPECT_EQ(sim_->Terminate(), 0) << "the simulator did not end cleanly";
  download.join();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(FilesIn(dir_.Path()).empty());
}

TEST_F(UsbSimTest, AVanishedDeviceCannotBeOpenedOrFound) {
  Start({"MFP-A"});
  ASSERT_EQ(UsbListFolders(u"MFP-A"), 1);
  // Killed: its registry entry stays behind, but nobody answers.
  ::kill(sim_->Pid(), SIGKILL);
  sim_->Terminate();
  EXPECT_EQ(FilesIn(sim_->UsbRegistry(), ".device").size(), 1u);
  EXPECT_EQ(UsbListFolders(u"MFP-A"), 0);
  EXPECT_EQ(UsbBoxTables().folderCount, 0);
  WStringList names, ids, addresses;
  EnumerateUsbDevices(names, ids, addresses);
  EXPECT_TRUE(ids.empty());
  EXPECT_EQ(UsbListFolders(u"NO-SUCH-DEVICE"), 0);
}

TEST_F(UsbSimTest, EnumerationListsOnlyDevicesOfTheVendor) {
  Start({"MFP-A,desc=Front office MFP", "CAM-1,id=USB\\VID_04B8&PID_0110,desc=Other scanner",
         "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001,id=usb\\vid_1144&pid_4d03,desc=Front office MFP",
         "NOID,id=,desc=No id"});
  WStringList names, ids{u"stale"}, addresses;
  EnumerateUsbDevices(names, ids, addresses);
  EXPECT_EQ(names, (WStringList{u"Front office MFP", u"Front office MFP"}));
  EXPECT_EQ(ids, (WStringList{u"MFP-A", u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001"}));
  EXPECT_EQ(addresses, (WStringList{u"", u""}));
  // What enumeration found is what the channel opens.
  EXPECT_EQ(UsbListFolders(ids[1]), 1);
}

TEST_F(UsbSimTest, NoDevicesListsNothing) {
  setenv("TALLOWMERE_USB_REGISTRY", dir_.Path().c_str(), 1);
  WStringList names, ids{u"stale"}, addresses;
  EnumerateUsbDevices(names, ids, addresses);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(ids.empty());
  EXPECT_TRUE(addresses.empty());
  BindStiCreateInstance(nullptr);
  ids = {u"stale"};
  EnumerateUsbDevices(names, ids, addresses);
  EXPECT_TRUE(ids.empty());
}

TEST_F(UsbSimTest, LockSerialisesTwoUsersOfOneDevice) {
  Start({"MFP-A"});
  IStillImageW* service = nullptr;
  ASSERT_EQ(sti_.entry()(nullptr, STI_VERSION, &service, nullptr), S_OK);
  IStiDevice* first = nullptr;
  IStiDevice* second = nullptr;
  ASSERT_EQ(service->CreateDevice(u"MFP-A", STI_DEVICE_CREATE_BOTH, &first, nullptr), S_OK);
  ASSERT_EQ(service->CreateDevice(u"MFP-A", STI_DEVICE_CREATE_BOTH, &second, nullptr), S_OK);
  EXPECT_EQ(first->LockDevice(1000), S_OK);
  EXPECT_EQ(second->LockDevice(50), STIERR_DEVICE_LOCKED);
  // The channel's unlock does not break another user's lock, and it does
  // not talk to a device held past its time-out.
  EXPECT_EQ(UsbListFolders(u"MFP-A"), 0);
  EXPECT_EQ(first->UnLockDevice(), S_OK);
  EXPECT_EQ(second->LockDevice(50), S_OK);
  EXPECT_EQ(second->UnLockDevice(), S_OK);
  EXPECT_EQ(UsbListFolders(u"MFP-A"), 1);
  first->Release();
  second->Release();
  EXPECT_EQ(service->CreateDevice(u"NO-SUCH", STI_DEVICE_CREATE_BOTH, &first, nullptr),
            STIERR_INVALID_DEVICE_NAME);
  EXPECT_EQ(first, nullptr);
  service->Release();
}

TEST_F(UsbSimTest, RegistryGivesTheHardwareIdOfAttachedDevices) {
  Start({"MFP-A,id=USB\\VID_1144&PID_4D02"});
  const WString key = WString(kDeviceClassKeyPrefix) + u"MFP-A";
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &k), static_cast<LSTATUS>(ERROR_SUCCESS));
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(k, kMatchingDeviceIdValue, nullptr, &type, nullptr, &size), static_cast<LSTATUS>(ERROR_SUCCESS));
  const WString id = u"USB\\VID_1144&PID_4D02";
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, (id.size() + 1) * 2);
  char16_t small[4] = {u'x', u'x', u'x', u'x'};
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(k, kMatchingDeviceIdValue, nullptr, &type,
                             reinterpret_cast<BYTE*>(small), &size),
            static_cast<LSTATUS>(ERROR_MORE_DATA));
  EXPECT_EQ(small[0], u'x');
  char16_t buffer[64] = {};
  size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExW(k, kMatchingDeviceIdValue, nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer), &size),
            static_cast<LSTATUS>(ERROR_SUCCESS));
  EXPECT_EQ(WString(buffer), id);
  EXPECT_EQ(RegQueryValueExW(k, u"Other", nullptr, &type, nullptr, &size),
            static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegCloseKey(k), static_cast<LSTATUS>(ERROR_SUCCESS));
  const WString missing = WString(kDeviceClassKeyPrefix) + u"MFP-Z";
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, missing.c_str(), 0, KEY_READ, &k),
            static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(k, nullptr);
}

}  // namespace
}  // namespace tallow
