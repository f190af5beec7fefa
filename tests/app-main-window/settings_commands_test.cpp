// The Select MFP and Basic Settings commands of the menu bar: what each
// result of the dialogs does to the window, and which refreshes ask the
// device.
#include <filesystem>

#include "app/dialogs/basic_setting_dlg.h"
#include "device/channel_layer.h"
#include "device/net_channel.h"
#include "main_window_fixture.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;

// A second MFP, with boxes of its own.
constexpr const char* kOtherStore = R"(<mfp name="Other">
  <box id="7" name="Invoices"/>
  <box id="8" name="Letters"/>
</mfp>)";

std::vector<WString> BoxNamesInTree(const CTreeCtrl& tree) {
  std::vector<WString> names;
  for (HTREEITEM item = tree.GetChildItem(tree.GetRootItem()); item;
       item = tree.GetNextSiblingItem(item)) {
    names.push_back(tree.GetItemText(item));
  }
  return names;
}

void Retype(CDialog& d, int id, WStringView text) {
  Control* edit = d.GetDlgItem(id);
  ASSERT_NE(edit, nullptr);
  edit->SetSel(0, static_cast<DWORD>(edit->GetText().size()));
  d.InputType(id, text);
}

class SettingsCommandsTest : public MainWindowTest {
 protected:
  // The box listings the device was asked for since the last look.
  int TakeListings() {
    int count = 0;
    for (const std::string& line : TakeLog()) {
      if (line.find(" LIST") != std::string::npos && line.find("FOLDERID") == std::string::npos) {
        ++count;
      }
    }
    return count;
  }
};

// OK with another MFP: the window takes it and builds its tree from the
// listing the dialog's connection test made, without asking again.
TEST_F(SettingsCommandsTest, SelectMfpOkTakesTheNewMfpAndItsBoxesFromTheDialogsListing) {
  StartDevice(false);
  test::SimOptions options;
  options.config = kOtherStore;
  test::SimProcess other(options);
  Run([&](TestMainDlg& d) {
    ASSERT_EQ(BoxNamesInTree(*d.m_treeBoxes),
              (std::vector<WString>{u"Scans", u"Locked", u"Empty"}));
    onOtherDialog_ = [&](CDialog& s) {
      ASSERT_EQ(s.TemplateId(), IDD_SELECT_MFP);
      s.InputClick(IDC_SELECT_MFP_USE_ADDRESS);
      Retype(s, IDC_SELECT_MFP_ADDRESS, u"127.0.0.1");
      Retype(s, IDC_SELECT_MFP_HTTP_PORT, FromAnsi(std::to_string(other.Port())));
      s.InputClick(IDC_SELECT_MFP_OK);
    };
    d.InputMenuCommand(ID_SETTINGS_SELECT_MFP);
    EXPECT_EQ(d.m_mfpInfo.httpPortNumber, other.Port());
    EXPECT_EQ(d.m_mfpInfo.isSpecifiedIPAddress, TRUE);
    EXPECT_EQ(BoxNamesInTree(*d.m_treeBoxes), (std::vector<WString>{u"Invoices", u"Letters"}));
    EXPECT_EQ(other.Log().size(), 1u);  // the dialog's test only
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_TRUE(TakeMessages().empty());
  });
}

// Cancel straight away changes nothing; Cancel after a failed OK asks the
// MFP the window had for its boxes again.
TEST_F(SettingsCommandsTest, SelectMfpCancelRefreshesFromTheDeviceOnlyAfterAFailedOk) {
  StartDevice(false);
  for (bool triedFirst : {false, true}) {
    SCOPED_TRACE(triedFirst ? "after a failed OK" : "straight away");
    Run([&](TestMainDlg& d) {
      const MFPInfo before = d.m_mfpInfo;
      const HTREEITEM root = d.m_treeBoxes->GetRootItem();
      onOtherDialog_ = [&](CDialog& s) {
        if (triedFirst) {
          sim_->SetFaults({"list-boxes code 808"});
          s.InputClick(IDC_SELECT_MFP_OK);
          sim_->SetFaults({});
        }
        s.InputClick(IDC_SELECT_MFP_CANCEL);
      };
      TakeLog();
      d.InputMenuCommand(ID_SETTINGS_SELECT_MFP);
      // The dialog's own attempt, then the window's listing.
      EXPECT_EQ(TakeListings(), triedFirst ? 2 : 0);
      EXPECT_EQ(d.m_mfpInfo.httpPortNumber, before.httpPortNumber);
      EXPECT_EQ(d.m_mfpInfo.machineName, before.machineName);
      EXPECT_EQ(d.m_treeBoxes->GetRootItem() != root, triedFirst);  // rebuilt or not
      EXPECT_EQ(BoxNamesInTree(*d.m_treeBoxes),
                (std::vector<WString>{u"Scans", u"Locked", u"Empty"}));
      const std::vector<WString> failure = {u"Unable to connect to the scanner."};
      EXPECT_EQ(TakeMessages(), triedFirst ? failure : std::vector<WString>{});
    });
  }
}

// Advanced Mode without a listing yet: the boxes are listed for the dialog,
// quietly also when that fails. After OK the window takes the new settings
// but keeps its tree.
TEST_F(SettingsCommandsTest, BasicSettingsListsTheBoxesFirstWhenTheWindowHasNone) {
  std::filesystem::create_directories(program_.File("out"));
  for (bool answers : {true, false}) {
    SCOPED_TRACE(answers ? "the MFP answers" : "the MFP fails");
    StartDevice(false);
    // Nothing listed before the window opens.
    NetBoxTables() = BoxTables{};
    Run([&](TestMainDlg& d) {
      ASSERT_TRUE(d.m_boxNames.empty());
      EXPECT_EQ(d.m_bDeleteAfterSave, TRUE);
      std::vector<WString> offered;
      onOtherDialog_ = [&](CDialog& s) {
        ASSERT_EQ(s.TemplateId(), IDD_BASIC_SETTING);
        auto* combo = dynamic_cast<CComboBox*>(s.GetDlgItem(IDC_SETTING_BOX));
        ASSERT_NE(combo, nullptr);
        for (int i = 0; i < combo->GetCount(); ++i) offered.push_back(combo->GetLBText(i));
        s.InputClick(IDC_SETTING_DELETE_AFTER_SAVE);
        s.InputClick(IDC_SETTING_OK);
      };
      if (!answers) sim_->SetFaults({"list-boxes status 500"});
      TakeLog();
      d.InputMenuCommand(ID_SETTINGS_BASIC);
      EXPECT_EQ(TakeListings(), 1);
      const std::vector<WString> listed = {u"Scans", u"Locked", u"Empty"};
      EXPECT_EQ(offered, answers ? listed : std::vector<WString>{});
      EXPECT_TRUE(TakeMessages().empty());
      EXPECT_EQ(d.m_settingInfo.DeleteFile, FALSE);
      EXPECT_EQ(d.m_bDeleteAfterSave, FALSE);
      EXPECT_EQ(d.GetDlgItem(IDC_MAIN_DELETE_AFTER_SAVE)->GetCheck(), BST_UNCHECKED);
      EXPECT_EQ(d.m_treeBoxes->GetCount(), 0u);  // not rebuilt
    });
    SettingInfo reset = GetSettingInfo();
    reset.DeleteFile = TRUE;
    SetSettingInfo(reset);
  }
}

// With the boxes of a listing, the dialog gets them as they are; Cancel
// leaves the window's settings alone.
TEST_F(SettingsCommandsTest, BasicSettingsTakesTheListedBoxesAndCancelChangesNothing) {
  StartDevice(false);
  Run([&](TestMainDlg& d) {
    int rows = -1;
    onOtherDialog_ = [&](CDialog& s) {
      rows = dynamic_cast<CComboBox*>(s.GetDlgItem(IDC_SETTING_BOX))->GetCount();
      s.InputClick(IDC_SETTING_DELETE_AFTER_SAVE);
      s.InputClick(IDC_SETTING_CANCEL);
    };
    TakeLog();
    d.InputMenuCommand(ID_SETTINGS_BASIC);
    EXPECT_EQ(rows, 3);
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(d.m_bDeleteAfterSave, TRUE);
    EXPECT_EQ(GetSettingInfo().DeleteFile, TRUE);
  });
}

// Simple Mode offers the Simple view's boxes and refreshes the view with
// the boxes already listed.
TEST_F(SettingsCommandsTest, BasicSettingsInSimpleModeOffersTheSimpleViewsBoxes) {
  std::filesystem::create_directories(program_.File("out"));
  StartDevice(false);
  Run([&](TestMainDlg& d) {
    d.InputMenuCommand(ID_MODE_SIMPLE);
    d.m_simpleBoxNames = {u"Root", u"Alpha", u"Beta"};
    std::vector<WString> offered;
    onOtherDialog_ = [&](CDialog& s) {
      auto* combo = dynamic_cast<CComboBox*>(s.GetDlgItem(IDC_SETTING_BOX));
      for (int i = 0; i < combo->GetCount(); ++i) offered.push_back(combo->GetLBText(i));
      s.InputClick(IDC_SETTING_OK);
    };
    TakeLog();
    d.InputMenuCommand(ID_SETTINGS_BASIC);
    EXPECT_EQ(offered, (std::vector<WString>{u"Alpha", u"Beta"}));
    // The configured box is listed anew; the boxes are not asked for.
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"scanbox version=2 LIST FOLDERID=00000001"}));
  });
}

}  // namespace
}  // namespace tallow::app::testing
