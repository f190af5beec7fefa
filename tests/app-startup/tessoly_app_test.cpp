// The application object on the headless window layer: start-up from the
// language sources to the main window, and the shut-down. Each test has a
// program folder of its own holding the build's libraries (or not) and the
// shipped language file, its own runtime folder for the single-instance
// lock, and the simulator on loopback as the MFP.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/tessoly_app.h"
#include "core/settings.h"
#include "core/text_format.h"
#include "core/texts.h"
#include "device/discovery.h"
#include "device/net_channel.h"
#include "device/sti_binding.h"
#include "device/xml_api_binding.h"
#include "platform/app_profile.h"
#include "platform/module.h"
#include "platform/named_mutex.h"
#include "platform/path.h"
#include "platform/ui/headless/headless_backend.h"
#include "res/resource_ids.h"
#include "support/language_files.h"
#include "support/program_copy.h"
#include "support/program_folder.h"
#include "support/scoped_env.h"
#include "support/sim_process.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;

// The headless back end that also writes down the modeless windows put on
// the screen and every window taken down.
class StartupBackend : public HeadlessBackend {
 public:
  void PresentNow(CDialog& d) override {
    presented.push_back(d.TemplateId());
    lastPresented = &d;
  }
  void WindowDestroyed(CDialog& d) override {
    destroyed.push_back(d.TemplateId());
    if (&d == lastPresented) lastPresented = nullptr;
  }
  CDialog* lastPresented = nullptr;  // while its window lives
  std::vector<int> presented;
  std::vector<int> destroyed;
};

class AppStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProgramFolder(test::kProgramLibraries, true);
    // The current settings of an earlier test must not pass for read ones.
    SetMFPInfo(MFPInfo{});
    SetSettingInfo(SettingInfo{});
  }
  void TearDown() override {
    app_.ExitInstance();
    NetBoxTables() = BoxTables{};
  }

  // A program folder with |libraries| of the build's, and the shipped
  // language file when |languageFile|.
  void UseProgramFolder(std::span<const char* const> libraries, bool languageFile) {
    std::vector<const char*> files(libraries.begin(), libraries.end());
    if (languageFile) files.push_back(test::kLanguageFileName);
    program_.reset();  // its end puts the real program file back
    const std::string real = ToAnsi(ProgramFolder());
    program_ = std::make_unique<test::ScratchProgramFolder>();
    for (const char* name : files) program_->Copy(real + "/" + name, name);
  }

  // The simulator, and a settings file that names it as the MFP.
  void StartDevice(bool notShowDlg, std::vector<std::string> faults = {}) {
    test::SimOptions options;
    options.faults = std::move(faults);
    sim_ = std::make_unique<test::SimProcess>(options);
    usbRegistry_.emplace("TALLOWMERE_USB_REGISTRY", sim_->UsbRegistry());
    program_->Write("setting/tallowmere.ini",
                    "[MFPInfo]\nmachineName=Sim MFP\nIPv4Address=127.0.0.1\nhttpPortNumber=" +
                        std::to_string(sim_->Port()) +
                        "\nisNotShowDlg=" + (notShowDlg ? "1" : "0") + "\n");
  }

  int Listings() const {
    int count = 0;
    for (const std::string& line : sim_->Log()) count += line.find(" LIST") != std::string::npos;
    return count;
  }

  std::unique_ptr<test::ScratchProgramFolder> program_;
  test::TempDir runtime_;
  test::ScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", runtime_.Path()};
  std::optional<test::ScopedEnv> usbRegistry_;
  std::unique_ptr<test::SimProcess> sim_;
  StartupBackend ui;
  CTessolyApp app_;
};

bool LockIsFree() {
  HANDLE probe = CreateMutexW(nullptr, TRUE, kInstanceMutexName);
  const bool free = GetLastError() == ERROR_SUCCESS;
  CloseHandle(probe);
  return free;
}

// A second start loads the texts and every library, finds the lock taken,
// says so in a topmost box of its own and ends: no settings read, no
// window. The running instance keeps its lock.
TEST_F(AppStartupTest, SecondStartFindsTheLockAndEndsWithoutSettingsOrWindows) {
  StartDevice(false);
  HANDLE running = CreateMutexW(nullptr, TRUE, kInstanceMutexName);
  ASSERT_EQ(GetLastError(), ERROR_SUCCESS);

  EXPECT_EQ(app_.InitInstance(), FALSE);
  ASSERT_EQ(ui.MessageBoxes().size(), 1u);
  const MessageBoxRecord& box = ui.MessageBoxes()[0];
  EXPECT_EQ(box.text, u"Tallowmere is already running. ");
  EXPECT_EQ(box.caption, u"");
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.type, MB_TOPMOST | MB_ICONERROR);
  EXPECT_TRUE(ui.OpenedDialogs().empty());
  EXPECT_TRUE(ui.presented.empty());
  EXPECT_EQ(GetMFPInfo().machineName, u"");
  EXPECT_EQ(AppProfilePath(), u"");
  EXPECT_EQ(Listings(), 0);
  EXPECT_EQ(app_.m_hMutex, nullptr);
  // Loaded, and reachable by the dialogs and channels, until the shut-down.
  EXPECT_NE(app_.m_stidllLibrary.GetModule(), nullptr);
  EXPECT_EQ(BoundXmlHttpApi(), &app_.m_httpXmlLibrary.Api());
  EXPECT_TRUE(DiscoveryTakesSearchPort());
  EXPECT_TRUE(StillImageLoaded());

  EXPECT_EQ(app_.ExitInstance(), 0);
  EXPECT_EQ(app_.m_httpXmlLibrary.GetModule(), nullptr);
  EXPECT_EQ(BoundXmlHttpApi(), nullptr);
  EXPECT_FALSE(DiscoveryTakesSearchPort());
  EXPECT_FALSE(StillImageLoaded());
  EXPECT_FALSE(LockIsFree());  // still the running instance's
  CloseHandle(running);
  EXPECT_TRUE(LockIsFree());
}

// Without the discovery library the box names the file tried last, the
// library loaded before it goes again, and the shut-down may run twice. The
// texts come from the language file, whose format never reaches a
// printf-style formatter.
TEST_F(AppStartupTest, MissingDiscoveryLibraryIsNamedAndEndsTheProgram) {
  struct Case {
    const char* name;
    std::u16string format;  // 21101 in the language file; empty: the shipped file
    bool languageFile;
    const char16_t* text;
    const char16_t* caption;
  };
  const Case cases[] = {
      {"shipped texts", u"", true, u"Unable to load qelyomba.so.", u"Tallowmere"},
      {"no language file", u"", false, u"", u""},
      {"hostile format", u"%n%s%s %d%%", true, u"%nqelyomba.so%s %d%", u"Oops"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const char* const withoutDiscovery[] = {"kivor.so", "pdfdumel.so", "tiffdumel.so",
                                            "dumel.so", "sti.so"};
    UseProgramFolder(withoutDiscovery, c.languageFile);
    if (!c.format.empty()) {
      program_->Write("tallowmere.lrc",
                      test::LanguageFileBytes({{20005, u"Oops"}, {21101, c.format}}));
    }
    const std::size_t before = ui.MessageBoxes().size();
    CTessolyApp app;
    EXPECT_EQ(app.InitInstance(), FALSE);
    ASSERT_EQ(ui.MessageBoxes().size(), before + 1);
    const MessageBoxRecord& box = ui.MessageBoxes().back();
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.caption, c.caption);
    EXPECT_EQ(box.type, MB_ICONERROR);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(app.m_httpXmlLibrary.GetModule(), nullptr);
    EXPECT_EQ(app.m_httpXmlLibrary.GetPath(), u"");
    EXPECT_EQ(BoundXmlHttpApi(), nullptr);
    EXPECT_TRUE(LockIsFree());
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_TRUE(ui.OpenedDialogs().empty());
  }
}

// The settings file lies in "setting" beside the program file, named after
// it up to its last "." with "ini" in lower case; a name without a "." is
// taken whole.
TEST_F(AppStartupTest, SettingsFileIsNamedAfterTheProgramFile) {
  struct Case {
    const char* program;
    const char* settings;
  };
  const Case cases[] = {
      {"Scan.EXE", "setting/Scan.ini"},
      {"tallowmere.BIN", "setting/tallowmere.ini"},
      {"scan.tar.Gz", "setting/scan.tar.ini"},
      {"scan.", "setting/scan.ini"},
      {"tallowmere", "setting/tallowmere.ini"},
      {"v1.2/tallowmere", "v1.2/setting/tallowmere.ini"},  // a dot in the folder is no extension
  };
  const WString caption = u"Caption";
  const WString format = u"Unable to load %s.";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    SetProgramFilePathForTests(program_->Wide(c.program));
    EXPECT_EQ(app_.SetProfilePath(&caption, &format), S_OK);
    EXPECT_EQ(AppProfilePath(), program_->Wide(c.settings));
  }
  EXPECT_TRUE(ui.MessageBoxes().empty());

  // Without the program's own path nothing is named but the extension; the
  // file named before is let go.
  SetModuleFileNameSourceForTests([](HMODULE) { return WString(); });
  EXPECT_TRUE(FAILED(app_.SetProfilePath(&caption, &format)));
  SetModuleFileNameSourceForTests({});
  EXPECT_EQ(AppProfilePath(), u"");
  ASSERT_EQ(ui.MessageBoxes().size(), 1u);
  EXPECT_EQ(ui.MessageBoxes()[0].text, u"Unable to load ini.");
  EXPECT_EQ(ui.MessageBoxes()[0].caption, caption);
}

// With the MFP chosen, the main window runs as the application's main window
// and is forgotten when it goes. Hidden, the selection dialog connects on
// its own and the user sees only the start-up window, then the main window;
// shown, no start-up window is made.
TEST_F(AppStartupTest, ChosenMfpOpensTheMainWindowAfterTheStartupWindowHasGone) {
  for (bool hidden : {true, false}) {
    SCOPED_TRACE(hidden ? "not shown at start-up" : "shown");
    StartDevice(hidden);
    ui.presented.clear();
    ui.destroyed.clear();
    std::vector<int> seen;
    std::vector<int> destroyedBeforeMain;
    int boxesInTree = -1;
    bool isMainWindow = false;
    ui.OnDialog([&](CDialog& d) {
      seen.push_back(d.TemplateId());
      EXPECT_TRUE(d.IsWindowVisible());
      if (d.TemplateId() == IDD_SELECT_MFP) return d.InputClick(IDC_SELECT_MFP_OK);
      destroyedBeforeMain = ui.destroyed;
      isMainWindow = GetMainWindow() == &d;
      if (auto* tree = dynamic_cast<CTreeCtrl*>(d.GetDlgItem(IDC_MAIN_BOX_TREE))) {
        boxesInTree = static_cast<int>(tree->GetCount()) - 1;  // the root aside
      }
      d.InputEscape();
    });
    CTessolyApp app;
    EXPECT_EQ(app.InitInstance(), FALSE);
    EXPECT_EQ(ui.presented, hidden ? std::vector<int>{IDD_PROGRESS} : std::vector<int>{});
    const std::vector<int> seenShown = {IDD_SELECT_MFP, IDD_MAIN};
    EXPECT_EQ(seen, hidden ? std::vector<int>{IDD_MAIN} : seenShown);
    const std::vector<int> goneHidden = {IDD_SELECT_MFP, IDD_PROGRESS};
    EXPECT_EQ(destroyedBeforeMain, hidden ? goneHidden : std::vector<int>{IDD_SELECT_MFP});
    EXPECT_TRUE(isMainWindow);
    EXPECT_EQ(GetMainWindow(), nullptr);
    // The selection's listing serves the tree: the MFP is asked once.
    EXPECT_EQ(boxesInTree, 4);
    EXPECT_EQ(Listings(), 1);
    EXPECT_TRUE(ui.MessageBoxes().empty());
    EXPECT_NE(program_->Read("setting/tallowmere.ini").find("machineName=Sim MFP"),
              std::string::npos);

    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(app.m_hMutex, nullptr);
    EXPECT_TRUE(LockIsFree());
    EXPECT_EQ(AppProfilePath(), u"");
    EXPECT_EQ(app.m_stidllLibrary.GetModule(), nullptr);
    EXPECT_EQ(BoundXmlHttpApi(), nullptr);
    ui.OnDialog(nullptr);
  }
}

// Hidden and the MFP does not answer: its message, then the selection
// dialog in place of the start-up window. Cancelled, the program ends
// without a main window and without writing the settings.
TEST_F(AppStartupTest, FailedAutoConnectShowsTheDialogAndCancellingEndsTheProgram) {
  StartDevice(true, {"list-boxes code 808"});
  const std::string settings = program_->Read("setting/tallowmere.ini");
  std::vector<WString> texts;
  bool startupSeenAtBox = false;
  ui.OnMessageBox([&](const MessageBoxRecord& box) {
    texts.push_back(box.text);
    startupSeenAtBox = ui.lastPresented && ui.lastPresented->IsWindowVisible();
    return IDOK;
  });
  std::vector<int> seen;
  bool startupSeenWithDialog = true;
  ui.OnDialog([&](CDialog& d) {
    seen.push_back(d.TemplateId());
    EXPECT_TRUE(d.IsWindowVisible());
    ASSERT_NE(ui.lastPresented, nullptr);
    startupSeenWithDialog = ui.lastPresented->IsWindowVisible();
    d.InputClick(IDC_SELECT_MFP_CANCEL);
  });
  EXPECT_EQ(app_.InitInstance(), FALSE);
  EXPECT_EQ(texts, std::vector<WString>{u"Unable to connect to the scanner."});
  EXPECT_TRUE(startupSeenAtBox);
  EXPECT_EQ(seen, std::vector<int>{IDD_SELECT_MFP});
  EXPECT_EQ(ui.presented, std::vector<int>{IDD_PROGRESS});
  EXPECT_FALSE(startupSeenWithDialog);
  EXPECT_EQ(ui.destroyed, (std::vector<int>{IDD_SELECT_MFP, IDD_PROGRESS}));
  EXPECT_EQ(program_->Read("setting/tallowmere.ini"), settings);
  EXPECT_FALSE(program_->Exists("work"));
}

}  // namespace
}  // namespace tallow::app::testing
