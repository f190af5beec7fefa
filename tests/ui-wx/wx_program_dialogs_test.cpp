// The dialogs that are built, on the screen as the program shows them, with
// a screenshot of each.
#include <filesystem>
#include <string>

#include "app/dialogs/about_dlg.h"
#include "app/dialogs/password_dlg.h"
#include "app/dialogs/progress_dlg.h"
#include "core/texts.h"
#include "platform/module.h"
#include "res/resource_ids.h"
#include "support/language_files.h"
#include "support/temp_dir.h"
#include "tests/ui-wx/wx_fixture.h"

// After the project's headers: wx defines TRUE and FALSE as macros.
#include <wx/image.h>

namespace tallow::ui::testing {
namespace {

// The dialogs that are built, as the program shows them: filled by their
// own code (the version block, the language file's version, the progress of
// a save), not with the templates' placeholder texts.
TEST_F(WxDialogTest, ProgramDialogsAreShownFilledByTheirOwnCode) {
  LoadMessageTable(MessageTable());
  LoadMessageTable(ProgressTextTable());
  LoadMessageTable(LabelTable());
  const auto shoot = [&](CDialog& d) {
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

}  // namespace
}  // namespace tallow::ui::testing
