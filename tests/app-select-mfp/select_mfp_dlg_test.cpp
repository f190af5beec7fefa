// The MFP selection dialog: what it shows when it opens, the address check
// and the host-name look-up, the ports, the searches, the connection test
// and what a successful OK publishes, the runner's results, auto-connect.
#include <string>

#include "app/dialogs/progress_dlg.h"
#include "device/net_channel.h"
#include "device/usb_channel.h"
#include "platform/host_lookup.h"
#include "select_mfp_fixture.h"
#include "support/yomba_loader.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;

const WString kUnableToConnect = u"Unable to connect to the scanner.";
const WString kNoDevice = u"No Device Selected.";
const WString kInvalidPort = u"The port number you entered is invalid.";
const WString kNoAddress = u"Please enter the  IP address or hostname.";
const WString kNoIpAddress = u"Failed to get IP address.";

TEST_F(SelectMfpTest, OpensWithItsTextsAndTheStoredDevice) {
  struct Case {
    const char* what;
    MFPInfo stored;
    std::vector<WString> rows;
    bool listEnabled;
    WString address;
  };
  MFPInfo network;
  network.machineName = u"Office MFP";
  network.IPv4Address = u"127.0.0.9";
  network.httpPortNumber = 8080;
  network.SearchPortNumber = 61001;
  network.isNotShowDlg = TRUE;
  MFPInfo typed;
  typed.isSpecifiedIPAddress = TRUE;
  typed.SpecifiedIPAddress = u"printer.example";
  typed.machineName = u"Office MFP";  // not listed in address mode
  const Case cases[] = {
      {"network device", network, {u"Office MFP | 127.0.0.9"}, true, u""},
      {"USB device", StoredUsbMfp(), {u"Desk MFP | USB"}, true, u""},
      {"typed address", typed, {}, false, u"printer.example"},
      {"nothing stored", MFPInfo{}, {}, true, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetMFPInfo(c.stored);
    EXPECT_EQ(Run([&](CDialog& d) {
                EXPECT_EQ(d.GetWindowText(), u"Select MFP");
                EXPECT_EQ(d.GetDlgItemText(IDC_SELECT_MFP_USE_ADDRESS), u"IP address or Hostname ");
                EXPECT_EQ(d.GetDlgItemText(IDC_SELECT_MFP_HTTP_PORT_LABEL),
                          u"HTTP Port Number:   (Default:80)");
                CListCtrl* list = List(d);
                ASSERT_NE(list, nullptr);
                EXPECT_EQ(list->GetColumnHeading(0), u"Device Name");
                EXPECT_EQ(list->GetColumnHeading(1), u"Connect to");
                EXPECT_EQ(list->GetColumnWidth(0), 175);
                EXPECT_EQ(list->GetColumnWidth(1), 150);
                EXPECT_TRUE(list->GetExtendedStyle() & LVS_EX_FULLROWSELECT);

                EXPECT_EQ(Rows(d), c.rows);
                if (!c.rows.empty()) {
                  EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), 0);
                  EXPECT_EQ(list->GetItemState(0, LVIS_FOCUSED), LVIS_FOCUSED);
                }
                EXPECT_EQ(list->IsEnabled(), c.listEnabled);
                Control* address = d.GetDlgItem(IDC_SELECT_MFP_ADDRESS);
                EXPECT_EQ(address->IsEnabled(), !c.listEnabled);
                EXPECT_EQ(address->GetText(), c.address);
                EXPECT_EQ(address->GetLimitText(), 255);
                EXPECT_EQ(d.GetDlgItem(IDC_SELECT_MFP_USE_ADDRESS)->GetCheck(),
                          c.stored.isSpecifiedIPAddress ? BST_CHECKED : BST_UNCHECKED);
                EXPECT_EQ(d.GetDlgItem(IDC_SELECT_MFP_NOT_SHOW)->GetCheck(),
                          c.stored.isNotShowDlg ? BST_CHECKED : BST_UNCHECKED);

                EXPECT_EQ(d.GetDlgItemText(IDC_SELECT_MFP_HTTP_PORT),
                          FromAnsi(std::to_string(c.stored.httpPortNumber)));
                EXPECT_EQ(d.GetDlgItemText(IDC_SELECT_MFP_SEARCH_PORT),
                          FromAnsi(std::to_string(c.stored.SearchPortNumber)));
                for (int id : {IDC_SELECT_MFP_HTTP_PORT, IDC_SELECT_MFP_SEARCH_PORT}) {
                  EXPECT_EQ(d.GetDlgItem(id)->GetLimitText(), 5);
                  EXPECT_TRUE(d.GetDlgItem(id)->IsDigitsOnly());
                }
                for (int id :
                     {IDC_SELECT_MFP_ADDRESS, IDC_SELECT_MFP_HTTP_PORT, IDC_SELECT_MFP_SEARCH_PORT}) {
                  EXPECT_FALSE(d.GetDlgItem(id)->IsInputMethodEnabled());
                }
                d.InputClick(IDC_SELECT_MFP_CANCEL);
              }),
              0);
  }
}

TEST_F(SelectMfpTest, TheAddressCheckBoxSwitchesBetweenListAndAddress) {
  SetMFPInfo(StoredUsbMfp());
  Run([&](CDialog& d) {
    Control* address = d.GetDlgItem(IDC_SELECT_MFP_ADDRESS);
    d.InputClick(IDC_SELECT_MFP_USE_ADDRESS);
    EXPECT_TRUE(address->IsEnabled());
    EXPECT_FALSE(List(d)->IsEnabled());
    d.InputClick(IDC_SELECT_MFP_USE_ADDRESS);
    EXPECT_FALSE(address->IsEnabled());
    EXPECT_TRUE(List(d)->IsEnabled());
    d.InputEscape();
  });
}

TEST_F(SelectMfpTest, TheSearchPortIsReadOnlyUnlessTheLibraryTakesAPort) {
  struct Case {
    const char* what;
    std::optional<bool> takesPort;  // none: no library bound
    bool readOnly;
  };
  for (const Case& c : {Case{"port entry", true, false}, Case{"no port entry", false, true},
                        Case{"no library", std::nullopt, true}}) {
    SCOPED_TRACE(c.what);
    discovery_.reset();
    if (c.takesPort) discovery_ = std::make_unique<FakeDiscovery>(*c.takesPort);
    Run([&](CDialog& d) {
      EXPECT_EQ(d.GetDlgItem(IDC_SELECT_MFP_SEARCH_PORT)->IsReadOnly(), c.readOnly);
      EXPECT_FALSE(d.GetDlgItem(IDC_SELECT_MFP_HTTP_PORT)->IsReadOnly());
      d.InputEscape();
    });
  }
}

// Four parts of at most 255 pass as typed, whatever dots stand around them;
// anything else is a host name.
TEST_F(SelectMfpTest, TypedAddressesPassTheDottedCheckAsTypedOrAreLookedUp) {
  StartSim();
  std::vector<std::string> lookedUp;
  LookUpEveryNameAsTheSimulator(&lookedUp);
  struct Case {
    const char16_t* typed;
    bool dotted;
  };
  const Case cases[] = {
      {u"127.0.0.1", true},
      {u"0.0.0.0", true},
      {u"255.255.255.255", true},
      {u"127..0.0.1", true},     // a run of dots is one separator
      {u".127.0.0.1", true},     // dots at either end are skipped
      {u"127.0.0.1.", true},
      {u"..127.0.0.1..", true},
      {u"010.0.0.1", true},      // base 10: "010" is ten
      {u"+1.-0.0.1", true},      // signs, as the C library reads them
      {u" 1.2.3.4", true},       // blanks in front of a part
      {u"127.0.0.256", false},
      {u"1.2.3.-1", false},      // read as unsigned, far above 255
      {u"127.0.1", false},       // three parts
      {u"127.0.0.1.5", false},   // a fifth part
      {u"1.2.3.4 ", false},      // a blank after a part: not converted whole
      {u"1.2.3.0x4", false},
      {u"1.2.3.99999999999999999999", false},  // out of range
      {u"....", false},
      {u"printer", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.typed));
    lookedUp.clear();
    SetMFPInfo(MFPInfo{});
    const std::size_t connections = kivor_->Hosts().size();
    EXPECT_EQ(Run([&](CDialog& d) {
                d.InputClick(IDC_SELECT_MFP_USE_ADDRESS);
                Retype(d, IDC_SELECT_MFP_ADDRESS, c.typed);
                Retype(d, IDC_SELECT_MFP_HTTP_PORT, FromAnsi(std::to_string(sim_->Port())));
                d.InputClick(IDC_SELECT_MFP_OK);
              }),
              1);
    const MFPInfo published = GetMFPInfo();
    const WString expected = c.dotted ? WString(c.typed) : u"127.0.0.1";
    EXPECT_EQ(published.IPv4Address, expected);
    EXPECT_EQ(lookedUp, c.dotted ? std::vector<std::string>{} : std::vector{ToAnsi(c.typed)});
    EXPECT_EQ(published.isSpecifiedIPAddress, TRUE);
    EXPECT_EQ(published.SpecifiedIPAddress, c.typed);
    EXPECT_EQ(published.machineName, u"");
    EXPECT_EQ(published.deviceInternalName, u"");
    EXPECT_EQ(published.isUSB, FALSE);
    // The connection test went to the address published.
    ASSERT_EQ(kivor_->Hosts().size(), connections + 1);
    EXPECT_EQ(kivor_->Hosts().back(), ToAnsi(expected));
    // The settings name the MFP after its address.
    EXPECT_EQ(GetSettingInfo().machineName, expected);
  }
  EXPECT_TRUE(ui.MessageBoxes().empty());
}

TEST_F(SelectMfpTest, HostNamesAreLookedUp) {
  StartSim();
  EXPECT_EQ(Run([&](CDialog& d) {
              d.InputClick(IDC_SELECT_MFP_USE_ADDRESS);
              // The reserved domain never resolves, and no name server is asked.
              Retype(d, IDC_SELECT_MFP_ADDRESS, u"printer.invalid");
              d.InputClick(IDC_SELECT_MFP_OK);
              EXPECT_EQ(BoxTexts(), std::vector<WString>{kNoIpAddress});
              EXPECT_EQ(ui.MessageBoxes().back().caption, u"Select MFP");
              EXPECT_FALSE(d.IsEnded());
              EXPECT_EQ(GetMFPInfo().IPv4Address, u"");  // nothing published

              Retype(d, IDC_SELECT_MFP_ADDRESS, u"localhost");
              Retype(d, IDC_SELECT_MFP_HTTP_PORT, FromAnsi(std::to_string(sim_->Port())));
              d.InputClick(IDC_SELECT_MFP_OK);
            }),
            1);
  EXPECT_EQ(GetMFPInfo().IPv4Address, u"127.0.0.1");
  EXPECT_EQ(GetMFPInfo().SpecifiedIPAddress, u"localhost");
  EXPECT_EQ(GetSettingInfo().machineName, u"127.0.0.1");
  EXPECT_EQ(kivor_->Hosts(), std::vector<std::string>{"127.0.0.1"});
}

// A typed address with a line break names no host and could not be held by
// the settings file: it is refused as a name that cannot be found, before
// the dotted check (whose blanks in front would let one through) and the
// look-up, and nothing is published.
TEST_F(SelectMfpTest, TypedAddressWithALineBreakIsRefused) {
  StartSim();
  std::vector<std::string> lookedUp;
  LookUpEveryNameAsTheSimulator(&lookedUp);
  for (const char16_t* typed : {u"\n127.0.0.1", u"127.\r\n0.0.1", u"printer\n", u"print\rer"}) {
    SCOPED_TRACE(ToAnsi(typed));
    SetMFPInfo(MFPInfo{});
    const std::size_t connections = kivor_->Hosts().size();
    const std::size_t boxes = ui.MessageBoxes().size();
    EXPECT_EQ(Run([&](CDialog& d) {
                d.InputClick(IDC_SELECT_MFP_USE_ADDRESS);
                Retype(d, IDC_SELECT_MFP_ADDRESS, typed);
                Retype(d, IDC_SELECT_MFP_HTTP_PORT, FromAnsi(std::to_string(sim_->Port())));
                d.InputClick(IDC_SELECT_MFP_OK);
                ASSERT_EQ(ui.MessageBoxes().size(), boxes + 1);
                EXPECT_EQ(ui.MessageBoxes().back().text, kNoIpAddress);
                EXPECT_EQ(ui.MessageBoxes().back().caption, u"Select MFP");
                EXPECT_FALSE(d.IsEnded());
                d.InputClick(IDC_SELECT_MFP_CANCEL);
              }),
              -1);  // cancelled after a failed OK
    EXPECT_TRUE(lookedUp.empty());
    EXPECT_EQ(kivor_->Hosts().size(), connections);
    EXPECT_EQ(GetMFPInfo().IPv4Address, u"");
    EXPECT_EQ(GetMFPInfo().SpecifiedIPAddress, u"");
  }
}

TEST_F(SelectMfpTest, PortsFromZeroTo65535AreTaken) {
  StartSim();
  struct Case {
    const char16_t* http;
    const char16_t* search;
    bool taken;
  };
  const Case cases[] = {
      {u"0", u"61000", true},      {u"65535", u"0", true},   {u"00080", u"65535", true},
      {u"65536", u"61000", false}, {u"", u"61000", false},   {u"80", u"65536", false},
      {u"80", u"", false},         {u"99999", u"99999", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.http) + " / " + ToAnsi(c.search));
    SetMFPInfo(StoredNetworkMfp());
    const std::size_t boxes = ui.MessageBoxes().size();
    const std::size_t posts = kivor_->Ports().size();
    EXPECT_EQ(Run([&](CDialog& d) {
                Retype(d, IDC_SELECT_MFP_HTTP_PORT, c.http);
                Retype(d, IDC_SELECT_MFP_SEARCH_PORT, c.search);
                d.InputClick(IDC_SELECT_MFP_OK);
                if (!c.taken) d.InputClick(IDC_SELECT_MFP_CANCEL);
              }),
              c.taken ? 1 : -1);
    if (c.taken) {
      const int http = std::stoi(ToAnsi(c.http));
      EXPECT_EQ(GetMFPInfo().httpPortNumber, http);
      EXPECT_EQ(GetMFPInfo().SearchPortNumber, std::stoi(ToAnsi(c.search)));
      ASSERT_EQ(kivor_->Ports().size(), posts + 1);
      EXPECT_EQ(kivor_->Ports().back(), http);  // the port the channel was given
      EXPECT_EQ(ui.MessageBoxes().size(), boxes);
    } else {
      ASSERT_EQ(ui.MessageBoxes().size(), boxes + 1);
      EXPECT_EQ(ui.MessageBoxes().back().text, kInvalidPort);
      EXPECT_EQ(ui.MessageBoxes().back().caption, u"Select MFP");
      EXPECT_EQ(kivor_->Ports().size(), posts);  // no connection test
      EXPECT_EQ(GetMFPInfo().httpPortNumber, StoredNetworkMfp().httpPortNumber);
    }
  }
}

// Each failed OK leaves the dialog open with its box, publishes nothing, and
// makes the runner answer -1 however the dialog ends afterwards.
TEST_F(SelectMfpTest, AFailedOkReportsWhyAndLeavesTheSettings) {
  StartSim();
  struct Case {
    const char* what;
    MFPInfo stored;
    std::function<void(CDialog&)> act;
    WString text;
    WString caption;
  };
  MFPInfo typed;
  typed.isSpecifiedIPAddress = TRUE;
  const Case cases[] = {
      {"no row selected", MFPInfo{}, [](CDialog&) {}, kNoDevice, u"Select MFP"},
      {"no address typed", typed, [](CDialog&) {}, kNoAddress, u"Select MFP"},
      {"the MFP does not answer", StoredNetworkMfp(),
       [&](CDialog&) { sim_->SetFaults({"list-boxes code 808"}); }, kUnableToConnect,
       u"Communication"},
      {"a USB device without still-image library", StoredUsbMfp(), [](CDialog&) {},
       kUnableToConnect, u"Communication"},
  };
  const std::function<void(CDialog&)> endings[] = {
      [](CDialog& d) { d.InputClick(IDC_SELECT_MFP_CANCEL); },
      [](CDialog& d) { d.InputEscape(); },
      [](CDialog& d) { d.InputCloseBox(); },
  };
  for (const Case& c : cases) {
    for (const auto& end : endings) {
      SCOPED_TRACE(c.what);
      SetMFPInfo(c.stored);
      const std::size_t boxes = ui.MessageBoxes().size();
      EXPECT_EQ(Run([&](CDialog& d) {
                  c.act(d);
                  d.InputClick(IDC_SELECT_MFP_OK);
                  EXPECT_FALSE(d.IsEnded());
                  EXPECT_TRUE(d.IsWindowVisible());
                  end(d);
                }),
                -1);
      sim_->SetFaults({});
      ASSERT_EQ(ui.MessageBoxes().size(), boxes + 1);
      const MessageBoxRecord& box = ui.MessageBoxes().back();
      EXPECT_EQ(box.text, c.text);
      EXPECT_EQ(box.caption, c.caption);
      EXPECT_EQ(box.type, MB_ICONERROR | MB_OK);
      EXPECT_NE(box.owner, nullptr);
      const MFPInfo now = GetMFPInfo();
      EXPECT_EQ(now.machineName, c.stored.machineName);
      EXPECT_EQ(now.httpPortNumber, c.stored.httpPortNumber);
      EXPECT_EQ(now.isSpecifiedIPAddress, c.stored.isSpecifiedIPAddress);
    }
  }
}

TEST_F(SelectMfpTest, WithoutAnOkAttemptTheRunnerAnswersZero) {
  SetMFPInfo(StoredUsbMfp());
  const std::function<void(CDialog&)> endings[] = {
      [](CDialog& d) { d.InputClick(IDC_SELECT_MFP_CANCEL); },
      [](CDialog& d) { d.InputEscape(); },
      [](CDialog& d) { d.InputCloseBox(); },
      // A search is no OK attempt.
      [](CDialog& d) {
        d.InputClick(IDC_SELECT_MFP_SEARCH);
        d.InputEscape();
      },
  };
  for (const auto& end : endings) {
    EXPECT_EQ(Run([&](CDialog& d) {
                d.InputClick(IDC_SELECT_MFP_NOT_SHOW);
                end(d);
              }),
              0);
    EXPECT_EQ(GetMFPInfo().isNotShowDlg, FALSE);
  }
}

TEST_F(SelectMfpTest, AListedNetworkDeviceIsPublishedWithWhatTheDialogHolds) {
  StartSim();
  SetMFPInfo(StoredNetworkMfp());
  SettingInfo setting;
  setting.machineName = u"Old MFP";
  setting.boxIndex = 3;
  SetSettingInfo(setting);
  EXPECT_EQ(Run([&](CDialog& d) {
              d.InputClick(IDC_SELECT_MFP_NOT_SHOW);
              Retype(d, IDC_SELECT_MFP_SEARCH_PORT, u"61002");
              d.InputEnter();  // OK is the default button
            }),
            1);
  const MFPInfo published = GetMFPInfo();
  EXPECT_EQ(published.machineName, u"Office MFP");
  EXPECT_EQ(published.IPv4Address, u"127.0.0.1");
  EXPECT_EQ(published.isUSB, FALSE);
  EXPECT_EQ(published.deviceInternalName, u"");
  EXPECT_EQ(published.isSpecifiedIPAddress, FALSE);
  EXPECT_EQ(published.SpecifiedIPAddress, u"");
  EXPECT_EQ(published.httpPortNumber, sim_->Port());
  EXPECT_EQ(published.SearchPortNumber, 61002);
  EXPECT_EQ(published.isNotShowDlg, TRUE);
  EXPECT_EQ(settings_.GetMFPInfo().machineName, u"Office MFP");
  // Only the name of the current SettingInfo changes.
  EXPECT_EQ(GetSettingInfo().machineName, u"Office MFP");
  EXPECT_EQ(GetSettingInfo().boxIndex, 3);
  // The connection test filled the network channel's box table.
  EXPECT_EQ(NetBoxTables().folderCount, 3);
}

TEST_F(SelectMfpTest, AStoredUsbDeviceIsConnectedByItsStoredName) {
  StartSimWithUsb();
  LoadStillImage();
  SetMFPInfo(StoredUsbMfp());
  EXPECT_EQ(Run([&](CDialog& d) {
              EXPECT_EQ(Rows(d), std::vector<WString>{u"Desk MFP | USB"});
              d.InputClick(IDC_SELECT_MFP_OK);
            }),
            1);
  const MFPInfo published = GetMFPInfo();
  EXPECT_EQ(published.isUSB, TRUE);
  EXPECT_EQ(published.deviceInternalName, FromAnsi(kUsbDevice));
  EXPECT_EQ(published.machineName, u"Desk MFP");
  EXPECT_EQ(published.IPv4Address, u"");
  EXPECT_EQ(GetSettingInfo().machineName, u"Desk MFP");
  EXPECT_TRUE(kivor_->Hosts().empty());
  EXPECT_EQ(UsbBoxTables().folderCount, 3);
}

// With nothing found at all the network is asked once more; a USB device or
// a network answer makes one search enough.
TEST_F(SelectMfpTest, DiscoveryRunsTwiceOnlyWhenNothingWasFound) {
  StartSimWithUsb();
  struct Case {
    const char* what;
    bool usb;
    std::vector<std::pair<WString, WString>> answers;
    int searches;
    std::vector<WString> rows;
  };
  const Case cases[] = {
      {"nothing", false, {}, 2, {}},
      {"a USB device", true, {}, 1, {u"Office MFP | USB"}},
      {"a network MFP", false, {{u"Lobby MFP", u"127.0.0.5"}}, 1, {u"Lobby MFP | 127.0.0.5"}},
      {"both",
       true,
       {{u"Lobby MFP", u"127.0.0.5"}, {u"Annex MFP", u"annex.example"}},
       1,
       {u"Office MFP | USB", u"Lobby MFP | 127.0.0.5", u"Annex MFP | annex.example"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sti_.reset();
    if (c.usb) LoadStillImage();
    discovery_->answers = c.answers;
    discovery_->searches = 0;
    Run([&](CDialog& d) {
      Retype(d, IDC_SELECT_MFP_SEARCH_PORT, u"61003");
      d.InputClick(IDC_SELECT_MFP_SEARCH);
      EXPECT_EQ(Rows(d), c.rows);
      EXPECT_EQ(List(d)->GetNextItem(-1, LVNI_SELECTED), -1);
      d.InputEscape();
    });
    EXPECT_EQ(discovery_->searches, c.searches);
    EXPECT_EQ(discovery_->lastPort, 61003u);
  }
  EXPECT_TRUE(ui.MessageBoxes().empty());
}

TEST_F(SelectMfpTest, SearchWithAnInvalidPortStillListsTheUsbDevices) {
  StartSimWithUsb();
  LoadStillImage();
  discovery_->answers = {{u"Lobby MFP", u"127.0.0.5"}};
  for (const char16_t* port : {u"65536", u""}) {
    SCOPED_TRACE(ToAnsi(port));
    const std::size_t boxes = ui.MessageBoxes().size();
    Run([&](CDialog& d) {
      Retype(d, IDC_SELECT_MFP_SEARCH_PORT, port);
      d.InputClick(IDC_SELECT_MFP_SEARCH);
      EXPECT_EQ(Rows(d), std::vector<WString>{u"Office MFP | USB"});
      d.InputEscape();
    });
    ASSERT_EQ(ui.MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(ui.MessageBoxes().back().text, kInvalidPort);
    EXPECT_EQ(ui.MessageBoxes().back().caption, u"Select MFP");
  }
  EXPECT_EQ(discovery_->searches, 0);
}

// Every search starts from an empty list, and the USB rows it lists pair
// with the internal names it found, not with those of the stored device.
TEST_F(SelectMfpTest, EverySearchReplacesTheRowsAndTheUsbNames) {
  StartSimWithUsb({kUsbDevice, "sim-usb-1,desc=Annex MFP"});
  LoadStillImage();
  MFPInfo stored = StoredUsbMfp();
  stored.deviceInternalName = u"gone-usb";
  SetMFPInfo(stored);
  discovery_->answers = {{u"Lobby MFP", u"127.0.0.1"}};
  EXPECT_EQ(Run([&](CDialog& d) {
              EXPECT_EQ(Rows(d), std::vector<WString>{u"Desk MFP | USB"});
              const std::vector<WString> found = {u"Office MFP | USB", u"Annex MFP | USB",
                                                  u"Lobby MFP | 127.0.0.1"};
              for (int search = 0; search < 3; ++search) {
                d.InputClick(IDC_SELECT_MFP_SEARCH);
                EXPECT_EQ(Rows(d), found);
              }
              List(d)->InputClick(1, false);
              d.InputClick(IDC_SELECT_MFP_OK);
            }),
            1);
  EXPECT_EQ(GetMFPInfo().deviceInternalName, u"sim-usb-1");
  EXPECT_EQ(GetMFPInfo().machineName, u"Annex MFP");
  EXPECT_EQ(GetMFPInfo().isUSB, TRUE);
  const std::vector<std::string> log = sim_->Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().rfind("usb sim-usb-1 ", 0), 0u) << log.back();
}

// A network device may come without an address: its row is no USB row,
// whether USB devices were listed before it or the stored USB device's name
// is still kept, and OK finds no target instead of reading a USB name.
TEST_F(SelectMfpTest, ANetworkRowWithoutAnAddressIsNoUsbRow) {
  StartSimWithUsb();
  struct Case {
    const char* what;
    bool stillImage;
    std::vector<WString> rows;
  };
  const Case cases[] = {
      {"after the USB devices", true, {u"Office MFP | USB", u"Lost MFP | "}},
      {"with the stored USB name kept", false, {u"Lost MFP | "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sti_.reset();
    if (c.stillImage) LoadStillImage();
    SetMFPInfo(StoredUsbMfp());
    discovery_->answers = {{u"Lost MFP", u""}};
    const std::size_t boxes = ui.MessageBoxes().size();
    EXPECT_EQ(Run([&](CDialog& d) {
                d.InputClick(IDC_SELECT_MFP_SEARCH);
                EXPECT_EQ(Rows(d), c.rows);
                List(d)->InputClick(static_cast<int>(c.rows.size()) - 1, false);
                d.InputClick(IDC_SELECT_MFP_OK);
                d.InputEscape();
              }),
              -1);
    ASSERT_EQ(ui.MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(ui.MessageBoxes().back().text, kNoDevice);
    EXPECT_TRUE(sim_->Log().empty()) << "a USB device was asked";
    EXPECT_EQ(GetMFPInfo().deviceInternalName, FromAnsi(kUsbDevice));
  }
}

// The real discovery library and still-image stand-in find the simulator on
// both ways.
TEST_F(SelectMfpTest, SearchFindsTheSimulatorOnTheNetworkAndOverUsb) {
  const std::uint16_t searchPort = test::FreeLoopbackUdpPort();
  ASSERT_NE(searchPort, 0);

  test::SimOptions options;
  options.usb = {kUsbDevice};
  options.searchPort = searchPort;
  StartSim(options);
  LoadStillImage();
  discovery_.reset();
  test::ScopedEnv addresses("YOMBA_SEARCH_ADDRESSES", "127.0.0.1");
  test::ScopedEnv wait("YOMBA_WAIT_MS", "500");
  test::YombaLibrary yomba;
  ASSERT_TRUE(yomba.ok());
  EXPECT_EQ(Run([&](CDialog& d) {
              EXPECT_FALSE(d.GetDlgItem(IDC_SELECT_MFP_SEARCH_PORT)->IsReadOnly());
              Retype(d, IDC_SELECT_MFP_SEARCH_PORT, FromAnsi(std::to_string(searchPort)));
              Retype(d, IDC_SELECT_MFP_HTTP_PORT, FromAnsi(std::to_string(sim_->Port())));
              d.InputClick(IDC_SELECT_MFP_SEARCH);
              EXPECT_EQ(Rows(d),
                        (std::vector<WString>{u"Office MFP | USB", u"Office MFP | 127.0.0.1"}));
              List(d)->InputClick(1, false);
              d.InputClick(IDC_SELECT_MFP_OK);
            }),
            1);
  EXPECT_EQ(GetMFPInfo().IPv4Address, u"127.0.0.1");
  EXPECT_EQ(GetMFPInfo().SearchPortNumber, searchPort);
  EXPECT_EQ(GetMFPInfo().isUSB, FALSE);
}

// Hidden, the dialog presses its own OK once: it is never seen when that
// succeeds, and takes the start-up window's place when it fails.
TEST_F(SelectMfpTest, AutoConnectIsUnseenUnlessItFails) {
  StartSim();
  for (bool fails : {false, true}) {
    SCOPED_TRACE(fails ? "fails" : "succeeds");
    MFPInfo stored = StoredNetworkMfp();
    stored.isNotShowDlg = TRUE;
    SetMFPInfo(stored);
    sim_->SetFaults(fails ? std::vector<std::string>{"list-boxes code 808"}
                          : std::vector<std::string>{});
    CProgressDlg startup(kProgressStarting, nullptr);
    ASSERT_TRUE(startup.IsWindowVisible());
    const std::size_t boxes = ui.MessageBoxes().size();
    bool seenAtBox = true;
    ui.OnMessageBox([&](const MessageBoxRecord& box) {
      seenAtBox = CDialog::FromHandle(box.owner)->IsWindowVisible();
      return IDOK;
    });
    bool shown = false;
    const int result = Run(
        [&](CDialog& d) {
          shown = true;
          EXPECT_TRUE(d.IsWindowVisible());
          EXPECT_FALSE(startup.IsWindowVisible());
          d.InputClick(IDC_SELECT_MFP_CANCEL);
        },
        TRUE, &startup);
    ui.OnMessageBox(nullptr);
    EXPECT_EQ(result, fails ? -1 : 1);
    EXPECT_EQ(shown, fails);
    EXPECT_EQ(startup.IsWindowVisible(), !fails);
    ASSERT_EQ(ui.MessageBoxes().size(), boxes + (fails ? 1 : 0));
    if (fails) {
      EXPECT_EQ(ui.MessageBoxes().back().text, kUnableToConnect);
      EXPECT_FALSE(seenAtBox);  // the box came while the dialog was still hidden
      EXPECT_EQ(GetMFPInfo().isNotShowDlg, TRUE);
    } else {
      EXPECT_EQ(GetSettingInfo().machineName, u"Office MFP");
    }
  }
}

}  // namespace
}  // namespace tallow::app::testing
