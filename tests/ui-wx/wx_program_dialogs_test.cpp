// The dialogs that are built, on the screen as the program shows them, with
// a screenshot of each.
#include <filesystem>
#include <string>

#include "app/dialogs/about_dlg.h"
#include "app/dialogs/basic_setting_dlg.h"
#include "app/dialogs/password_dlg.h"
#include "app/dialogs/progress_dlg.h"
#include "app/dialogs/select_mfp_dlg.h"
#include "core/texts.h"
#include "device/net_channel.h"
#include "support/kivor_loader.h"
#include "platform/module.h"
#include "res/resource_ids.h"
#include "support/sti_loader.h"
#include "support/language_files.h"
#include "support/program_folder.h"
#include "support/scoped_env.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "tests/ui-wx/wx_fixture.h"
#include "support/yomba_loader.h"

// After the project's headers: wx defines TRUE and FALSE as macros.
#include <wx/image.h>

namespace tallow::ui::testing {
namespace {

// Every text of |d| that is shown fits its control: labels, buttons, check
// boxes, group boxes, edits, the combo box's selection and the list's
// headings.
void ExpectTextsFit(WxDriver& wx, const CDialog& d) {
  for (std::size_t i = 0; i < d.Controls().size(); ++i) {
    if (!wx.ViewControl(d, i)->shown) continue;
    const auto needed = wx.TextWidthNeeded(d, i);
    const auto rect = wx.ControlRect(d, i);
    if (!needed || !rect) continue;
    EXPECT_LE(*needed, rect->cx) << "control " << d.Controls()[i]->GetDlgCtrlID() << " \""
                                 << wx.ViewControl(d, i)->text << "\" is cut off";
    if (const auto list = wx.ViewList(d, i)) {
      for (std::size_t col = 0; col < list->headings.size(); ++col) {
        EXPECT_LE(list->headingWidths[col], list->widths[col]) << list->headings[col];
      }
    }
  }
}

// The dialogs that are built, as the program shows them: filled by their
// own code (the version block, the language file's version, the progress of
// a save), not with the templates' placeholder texts.
TEST_F(WxDialogTest, ProgramDialogsAreShownFilledByTheirOwnCode) {
  LoadMessageTable(MessageTable());
  LoadMessageTable(ProgressTextTable());
  LoadMessageTable(LabelTable());
  const auto shoot = [&](CDialog& d) {
    ExpectTextsFit(*wx_, d);
    const std::filesystem::path shot = ShotPath("dialog-" + std::to_string(d.TemplateId()) + ".png");
    EXPECT_TRUE(wx_->SaveScreenshot(d, shot.string()));
    wxImage image;
    ASSERT_TRUE(image.LoadFile(shot.string(), wxBITMAP_TYPE_PNG));
    EXPECT_EQ(image.GetWidth(), d.GetClientRect().cx);
    EXPECT_EQ(image.GetHeight(), d.GetClientRect().cy);
  };
  const auto shown = [&](const CDialog& d, int id) {
    return wx_->ViewControl(d, IndexOf(d, id)).value_or(WxDriver::ControlView{});
  };

  // The program beside a language file of version 2.5.0.1.
  tallow::test::TempDir folder;
  folder.Write("tallowmere.lrc", tallow::test::LanguageFileBytes({{15003, u"Now Saving Document(s)"}},
                                                                {2, 5, 0, 1}));
  const WString program = folder.Wide("tallowmere.bin");
  SetModuleFileNameSourceForTests([program](HMODULE) { return program; });
  LoadLanguageResources(nullptr);
  SetModuleFileNameSourceForTests(nullptr);
  wx_->OnDialogShown([&](CDialog& d) {
    EXPECT_EQ(shown(d, res::IDC_ABOUT_VERSION).text, "1.0.0.0");
    EXPECT_EQ(shown(d, res::IDC_ABOUT_LANGUAGE).text, "2.5.0.1");
    shoot(d);
    d.InputEscape();
  });
  {
    app::CAboutDlg about;
    EXPECT_EQ(about.DoModal(), IDCANCEL);
  }
  ReleaseLanguageResources();

  wx_->OnDialogShown([&](CDialog& d) {
    EXPECT_TRUE(wx_->TypeInto(d, IndexOf(d, res::IDC_PASSWORD_EDIT), "12"));
    shoot(d);
    d.InputEscape();
  });
  {
    app::CPasswordDlg password;
    EXPECT_EQ(password.DoModal(), IDCANCEL);
  }

  struct Owner : app::CConvertDlg {
    Owner() : CConvertDlg(0) {}
    void CancelConvert() override {}
  } owner;
  app::CProgressDlg progress(app::kProgressSave, &owner);
  progress.m_pOwner = &owner;
  progress.m_nTotal = 100;
  wx_->OnDialogShown([&](CDialog& d) {
    progress.UpdateSaveProgress(3, 10);  // page 3 of 10: 27 of the bar's 100 steps
    EXPECT_EQ(shown(d, res::IDC_PROGRESS_STATUS).text, "Now Saving Document(s)");
    EXPECT_EQ(shown(d, res::IDC_PROGRESS_BAR).value, 27);
    shoot(d);
    // Cancelled, then the worker's final report closes it.
    d.InputClick(res::IDC_PROGRESS_CANCEL);
    d.PostMessageW(WM_CLOSE);
  });
  EXPECT_EQ(progress.DoModal(), IDCANCEL);
}

// The MFP selection dialog after a Search has found the simulator on the
// network and over USB, and Basic Settings with the simulator's boxes, as the
// program shows them; none of their texts is cut off.
TEST_F(WxDialogTest, SettingsDialogsAreShownFilledByTheirOwnCode) {
  LoadMessageTable(MessageTable());
  LoadMessageTable(LabelTable());
  const auto shoot = [&](CDialog& d) {
    const std::filesystem::path shot = ShotPath("dialog-" + std::to_string(d.TemplateId()) + ".png");
    EXPECT_TRUE(wx_->SaveScreenshot(d, shot.string()));
  };
  const auto at = [](const CDialog& d, int id) { return IndexOf(d, id); };

  tallow::test::ScratchProgramFolder folder({"kivor.so", "sti.so", "yomba.so"});
  tallow::test::SimOptions options;
  options.config = R"(<mfp name="Office MFP"><box id="1" name="Scans"/>
    <box id="2" name="Finance" password="1234"/><box id="10" name="Archive"/></mfp>)";
  options.usb = {"sim-usb-0"};
  options.searchPort = tallow::test::FreeLoopbackUdpPort();
  ASSERT_NE(options.searchPort, 0);
  tallow::test::SimProcess sim(options);
  tallow::test::ScopedEnv registry("TALLOWMERE_USB_REGISTRY", sim.UsbRegistry());
  tallow::test::ScopedEnv addresses("YOMBA_SEARCH_ADDRESSES", "127.0.0.1");
  tallow::test::ScopedEnv wait("YOMBA_WAIT_MS", "500");
  tallow::test::KivorLibrary kivor;
  tallow::test::StiLibrary sti;
  tallow::test::YombaLibrary yomba;
  ASSERT_TRUE(kivor.ok() && sti.ok() && yomba.ok());

  SetMFPInfo(MFPInfo{});
  wx_->OnDialogShown([&](CDialog& d) {
    EXPECT_TRUE(wx_->TypeInto(d, at(d, res::IDC_SELECT_MFP_SEARCH_PORT),
                              std::to_string(options.searchPort)));
    EXPECT_TRUE(wx_->TypeInto(d, at(d, res::IDC_SELECT_MFP_HTTP_PORT), std::to_string(sim.Port())));
    EXPECT_TRUE(wx_->Click(d, at(d, res::IDC_SELECT_MFP_SEARCH)));
    EXPECT_TRUE(wx_->ClickListRow(d, at(d, res::IDC_SELECT_MFP_DEVICE_LIST), 1, false));
    const auto list = wx_->ViewList(d, at(d, res::IDC_SELECT_MFP_DEVICE_LIST));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->headings, (std::vector<std::string>{"Device Name", "Connect to"}));
    EXPECT_EQ(list->rows, (std::vector<std::vector<std::string>>{{"Office MFP", "USB"},
                                                                 {"Office MFP", "127.0.0.1"}}));
    EXPECT_EQ(list->selected, std::vector<int>{1});
    EXPECT_EQ(wx_->ViewControl(d, at(d, res::IDC_SELECT_MFP_USE_ADDRESS))->text,
              "IP address or Hostname ");
    EXPECT_FALSE(wx_->ViewControl(d, at(d, res::IDC_SELECT_MFP_ADDRESS))->enabled);
    ExpectTextsFit(*wx_, d);
    shoot(d);
    EXPECT_TRUE(wx_->Click(d, at(d, res::IDC_SELECT_MFP_OK)));
  });
  AppSettings settings;
  EXPECT_EQ(app::RunSelectMfpDlg(FALSE, nullptr, settings, nullptr), 1);
  EXPECT_EQ(GetMFPInfo().IPv4Address, u"127.0.0.1");

  // The boxes the connection test listed, as the main window hands them on.
  WStringList boxes;
  GetNetFolderNames(boxes);
  SettingInfo setting = GetSettingInfo();
  // A fixed path: the scratch folder's random name would make the text's
  // width, which is checked to fit, vary from run to run. The dialog asks
  // for the folder only on OK.
  setting.folderPath = u"/home/user/Scans";
  setting.boxIndex = 3;
  setting.ColorFormat = 1;
  SetSettingInfo(setting);
  wx_->OnDialogShown([&](CDialog& d) {
    const auto combo = wx_->ViewControl(d, at(d, res::IDC_SETTING_BOX));
    EXPECT_EQ(combo->items, (std::vector<std::string>{"Scans", "Finance", "Archive"}));
    EXPECT_EQ(combo->text, "Archive");
    EXPECT_EQ(wx_->ViewControl(d, at(d, res::IDC_SETTING_DEVICE_NAME))->text, "Office MFP");
    EXPECT_TRUE(wx_->ViewControl(d, at(d, res::IDC_SETTING_COLOR_JPEG))->checked);
    EXPECT_TRUE(wx_->ViewControl(d, at(d, res::IDC_SETTING_DELETE_AFTER_SAVE))->checked);
    ExpectTextsFit(*wx_, d);
    shoot(d);
    d.InputEscape();
  });
  EXPECT_EQ(app::RunBasicSettingDlg(settings, nullptr, boxes), 0);
  SetMFPInfo(MFPInfo{});
  SetSettingInfo(SettingInfo{});
  EXPECT_EQ(sim.Terminate(), 0);
}

}  // namespace
}  // namespace tallow::ui::testing
