#include "app/dialogs/about_dlg.h"

#include "app_fixture.h"
#include "platform/module.h"
#include "platform/version_info.h"
#include "res/resources.h"
#include "support/language_files.h"
#include "support/temp_dir.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;
using tallow::test::LanguageFileBytes;
using tallow::test::TempDir;

struct Shown {
  WString caption, product, version, language, legal;
};

class AboutDlgTest : public AppDialogTest {
 protected:
  void TearDown() override {
    ReleaseLanguageResources();
    SetModuleFileNameSourceForTests(nullptr);
    RegisterProgramResources();
  }
  // The program at a path of its own, with a language file beside it or not.
  void StartProgram(bool withLanguageFile) {
    if (withLanguageFile) {
      folder_.Write("tallowmere.lrc", LanguageFileBytes({{101, u"Info"}, {15003, u"x"}}, {2, 5, 0, 1}));
    }
    const WString path = folder_.Wide("tallowmere.bin");
    SetModuleFileNameSourceForTests([path](HMODULE) { return path; });
    LoadLanguageResources(nullptr);
    // The version block is the running program's own.
    SetModuleFileNameSourceForTests(nullptr);
  }
  Shown Run() {
    Shown shown;
    ui.OnDialog([&](CDialog& d) {
      shown = {d.GetWindowText(), d.GetDlgItemText(IDC_ABOUT_PRODUCT), d.GetDlgItemText(IDC_ABOUT_VERSION),
               d.GetDlgItemText(IDC_ABOUT_LANGUAGE), d.GetDlgItemText(IDC_ABOUT_LEGAL)};
      d.InputEnter();
    });
    CAboutDlg about;
    EXPECT_EQ(about.DoModal(), IDOK);
    return shown;
  }
  TempDir folder_;
};

TEST_F(AboutDlgTest, ShowsTheVersionBlockAndTheLanguageFileVersion) {
  StartProgram(true);
  const Shown s = Run();
  EXPECT_EQ(s.caption, u"Info");  // text 101 from the language file
  EXPECT_EQ(s.product, u"Tallowmere");
  EXPECT_EQ(s.version, u"1.0.0.0");
  EXPECT_NE(s.legal.find(u"Copyright"), WString::npos);
  EXPECT_EQ(s.language, u"2.5.0.1");
}

TEST_F(AboutDlgTest, WithoutALanguageFileTheLanguageLineIsADash) {
  StartProgram(false);
  const Shown s = Run();
  EXPECT_EQ(s.caption, u"About");
  EXPECT_EQ(s.version, u"1.0.0.0");
  EXPECT_EQ(s.language, u"-");
}

TEST_F(AboutDlgTest, WithoutAVersionBlockTheLinesAreEmptyAndTheDialogStillOpens) {
  RegisterProgramVersionBlock({});
  StartProgram(false);
  const Shown s = Run();
  EXPECT_EQ(s.product, u"Tallowmere");
  EXPECT_EQ(s.version, u"");
  EXPECT_EQ(s.legal, u"");
}

TEST_F(AboutDlgTest, EscAndTheCloseBoxEndIt) {
  for (bool escape : {true, false}) {
    ui.OnDialog([&](CDialog& d) { escape ? d.InputEscape() : d.InputCloseBox(); });
    CAboutDlg about;
    EXPECT_EQ(about.DoModal(), IDCANCEL);
  }
}

}  // namespace
}  // namespace tallow::app::testing
