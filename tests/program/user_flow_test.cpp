// The built program worked through its real windows as a user works it:
// the mouse and the keyboard on a private Xvfb, against the simulator's
// network service, its discovery answer and a simulated USB device. Each
// step waits for what the screen or the disk shows, with a time limit, and
// leaves a screenshot in <build>/screenshots/program-<n>-<step>.png.
//
// Native GTK controls are found by the dialog template's layout scaled to
// the window's real size; the list and the tree, drawn by wx, by the rows
// of ink they show.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "res/resource_ids.h"
#include "res/resources.h"
#include "support/program_copy.h"
#include "support/scoped_mount.h"
#include "support/screen_layout.h"
#include "support/sim_process.h"
#include "support/sim_stores.h"
#include "support/window_manager.h"
#include "support/x_input.h"
#include "support/x_windows.h"
#include "support/xvfb_server.h"

namespace tallow::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::seconds;

constexpr seconds kWait{30};

// One box with a colour and a black-and-white document, small pages so that
// the saves take little time; the black-and-white one is the newer.
constexpr const char* kStore = R"(<mfp name="Sim MFP">
  <box id="1" name="Scans">
    <doc id="C01" name="Colour" timestamp="2026/12/01 09:00:00" pages="2" color="1"
         width="850" height="1100" dpi="100"/>
    <doc id="B01" name="Mono" timestamp="2026/12/02 09:00:00" pages="2" color="0"
         width="850" height="1100" dpi="100"/>
  </box>
  <box id="2" name="Other"/>
  <box id="3" name="Locked" password="1234">
    <doc id="D01" name="Ledger" timestamp="2026/12/03 09:00:00" pages="1" color="0"
         width="850" height="1100" dpi="100"/>
  </box>
</mfp>)";

class UserFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The templates the program lays its windows out from.
    res::RegisterProgramResources();
    if (!xvfb_.ok()) {
      // The one case that is no failure: CTest counts code 77 as skipped.
      std::fprintf(stderr, "no Xvfb: skipped\n");
      std::exit(77);
    }
    x_ = std::make_unique<XWindows>(xvfb_.Display());
    input_ = std::make_unique<XInput>(xvfb_.Display());
    ASSERT_TRUE(x_->ok() && input_->ok());
    StartSimulator(kStore);
    // Simple Mode's folder, set before the first start as Basic Settings
    // would store it; the device is left for the selection dialog.
    std::filesystem::create_directories(copy_.File("simple"));
    copy_.Write("program/setting/tallowmere.ini",
                "[SettingInfo]\nboxIndex=1\nfolderPath=" + copy_.File("simple") + "\n");
  }

  // The simulator serving |store| over the network, its discovery answer and
  // the USB device "SIM-USB", in place of any before it.
  void StartSimulator(const char* store) {
    sim_.reset();
    SimOptions options;
    options.config = store;
    options.searchPort = FreeLoopbackUdpPort();
    options.usb = {"SIM-USB"};
    sim_ = std::make_unique<SimProcess>(options);
    searchPort_ = options.searchPort;
  }

  void Start(std::vector<std::pair<std::string, std::string>> environment = {}) {
    environment.insert(environment.begin(), {"TALLOWMERE_USB_REGISTRY", sim_->UsbRegistry()});
    program_ = std::make_unique<ProgramProcess>(copy_, xvfb_.Display(), environment);
  }

  // The simulator stored as the device, so that a start connects to it at
  // once without the selection dialog.
  // |settings| are further "SettingInfo" lines.
  void StoreTheSimulatedMfp(const std::string& settings = "") {
    copy_.Write("program/setting/tallowmere.ini",
                "[MFPInfo]\nmachineName=Sim MFP\nIPv4Address=127.0.0.1\nhttpPortNumber=" +
                    std::to_string(sim_->Port()) + "\nSearchPortNumber=" + std::to_string(searchPort_) +
                    "\nisNotShowDlg=1\n[SettingInfo]\nmachineName=Sim MFP\nboxIndex=1\n" + settings +
                    "folderPath=" + copy_.File("simple") + "\n");
  }

  // The Advanced view once its tree shows |rows| rows (the root and the
  // boxes), laid out in |l|.
  std::optional<XTopWindow> MainWindowWithBoxes(Layout& l, std::size_t rows = 3) {
    const auto main = WaitForTitle("Tallowmere");
    if (!main) return std::nullopt;
    const bool listed = WaitFor([&] {
      l = MainLayout(*main);
      return l.clientTop > 0 &&
             BandsIn(l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_BOX_TREE))).size() >= rows;
    });
    return listed ? main : std::nullopt;
  }

  // Waits until |condition| holds; false after |timeout|.
  static bool WaitFor(const std::function<bool()>& condition, seconds timeout = kWait) {
    return test::WaitFor(condition, timeout);
  }

  std::optional<XTopWindow> WaitForTitle(const std::string& title) {
    return x_->WaitForWindow(
        program_->Pid(), [&](const XTopWindow& w) { return w.title == title; }, kWait);
  }

  bool WindowTitled(const std::string& title) {
    for (const XTopWindow& w : x_->WindowsOf(program_->Pid())) {
      if (w.title == title) return true;
    }
    return false;
  }

  bool Gone(const std::string& title) {
    return WaitFor([&] { return !WindowTitled(title); });
  }

  Layout DialogLayout(const XTopWindow& w, int dialogId) {
    return test::DialogLayout(*input_, w.id, dialogId);
  }
  // Nothing laid out (clientTop 0) while the preview frame is not seen.
  Layout MainLayout(const XTopWindow& w) { return MainWindowLayout(*input_, w.id).value_or(Layout{}); }

  void Shot(const std::string& name) {
    const std::string folder = TALLOWMERE_SCREENSHOT_DIR;
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(SaveScreenshot(xvfb_.Display(), folder + "/program-" + name + ".png")) << name;
  }

  std::vector<Band> BandsIn(const XRect& area) {
    const auto screen = input_->Grab();
    return screen ? InkBands(*screen, area) : std::vector<Band>{};
  }

  // Clicks the edit, and replaces its text with |text|.
  void TypeInto(const XRect& edit, const std::string& text) {
    input_->Click(CenterX(edit), CenterY(edit));
    input_->Key("ctrl+a");
    input_->Type(text);
  }

  // Step 1: the selection dialog, Search, the simulator's network row,
  // told not to show itself again; OK connects and lists the boxes.
  void SelectTheSimulatedMfp() {
    const auto dialog = WaitForTitle("Select MFP");
    ASSERT_TRUE(dialog) << program_->Stderr();
    const Layout l = DialogLayout(*dialog, res::IDD_SELECT_MFP);
    TypeInto(l.Place(TemplateRect(res::IDD_SELECT_MFP, res::IDC_SELECT_MFP_HTTP_PORT)), std::to_string(sim_->Port()));
    TypeInto(l.Place(TemplateRect(res::IDD_SELECT_MFP, res::IDC_SELECT_MFP_SEARCH_PORT)), std::to_string(searchPort_));
    const XRect notShow = l.Place(TemplateRect(res::IDD_SELECT_MFP, res::IDC_SELECT_MFP_NOT_SHOW));
    input_->Click(CenterX(notShow), CenterY(notShow));
    const XRect search = l.Place(TemplateRect(res::IDD_SELECT_MFP, res::IDC_SELECT_MFP_SEARCH));
    input_->Click(CenterX(search), CenterY(search));
    // The header, the USB device, the network answer.
    const XRect list = l.Place(TemplateRect(res::IDD_SELECT_MFP, res::IDC_SELECT_MFP_DEVICE_LIST));
    ASSERT_TRUE(WaitFor([&] { return BandsIn(list).size() >= 3; })) << "no devices listed";
    const Band network = BandsIn(list).back();
    input_->Click(list.x + list.width / 2, (network.top + network.bottom) / 2);
    Shot("1-select-mfp");
    const XRect ok = l.Place(TemplateRect(res::IDD_SELECT_MFP, res::IDC_SELECT_MFP_OK));
    input_->Click(CenterX(ok), CenterY(ok));
  }

  // The main window once its tree shows |boxes| rows (the root and the
  // boxes); a click on the first box lists its documents, until the list
  // shows |rows| rows (the header and the documents).
  void OpenTheFirstBox(Layout& l, std::size_t boxes, std::size_t rows) {
    ASSERT_TRUE(MainWindowWithBoxes(l, boxes)) << "no boxes listed: " << program_->Stderr();
    const Band box = BandsIn(l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_BOX_TREE)))[1];
    input_->Click(box.right - 3, (box.top + box.bottom) / 2);
    const XRect list = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_DOCUMENT_LIST));
    ASSERT_TRUE(WaitFor([&] { return BandsIn(list).size() >= rows; })) << "no documents listed";
  }

  // Step 2: the main window; a click on the first box lists its documents,
  // the chosen one is previewed in the frame.
  void OpenTheBoxAndPreview(Layout& l) {
    ASSERT_NO_FATAL_FAILURE(OpenTheFirstBox(l, 3, 3));
    // Kept on the device, so that Simple Mode finds them later.
    const XRect erase = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_DELETE_AFTER_SAVE));
    input_->Click(CenterX(erase), CenterY(erase));
    SelectDocument(l, 1);
    const XRect check = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_PREVIEW));
    input_->Click(CenterX(check), CenterY(check));
    const XRect frame = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_PREVIEW_FRAME));
    ASSERT_TRUE(WaitFor([&] {
      const auto screen = input_->Grab();
      return screen && DarkPixels(*screen, frame) > frame.width * frame.height / 50;
    })) << "no page in the preview frame";
    Shot("2-preview");
  }

  // The document list's row |row| (0: the newest), by a click.
  void SelectDocument(const Layout& l, std::size_t row) {
    const XRect list = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_DOCUMENT_LIST));
    const auto bands = BandsIn(list);
    ASSERT_GT(bands.size(), row + 1);
    input_->Click(list.x + list.width / 3, (bands[row + 1].top + bands[row + 1].bottom) / 2);
  }

  // The save's progress dialog until its OK is enabled (the save ended),
  // and its screenshot; where OK is.
  void WaitUntilSaved(const std::string& shot, XRect* ok) {
    const auto progress = WaitForTitle("Progress");
    ASSERT_TRUE(progress) << program_->Stderr();
    const Layout l = DialogLayout(*progress, res::IDD_PROGRESS);
    *ok = l.Place(TemplateRect(res::IDD_PROGRESS, res::IDC_PROGRESS_OK));
    // An enabled button's caption is drawn dark; a disabled one's grey.
    ASSERT_TRUE(WaitFor([&] {
      const auto screen = input_->Grab();
      return screen && !InkBands(*screen, *ok).empty();
    })) << "the save did not end";
    Shot(shot);
  }

  // The save's progress dialog until the save ended, its screenshot, then OK.
  void ConfirmTheSave(const std::string& shot) {
    XRect ok;
    ASSERT_NO_FATAL_FAILURE(WaitUntilSaved(shot, &ok));
    input_->Click(CenterX(ok), CenterY(ok));
    ASSERT_TRUE(Gone("Progress"));
  }

  // Step 3: Save, the file dialog given the full path, the progress dialog.
  void SaveAdvanced(const Layout& l, const std::string& path, const std::string& step) {
    ASSERT_NO_FATAL_FAILURE(ChooseSaveFile(l, path, step));
    ConfirmTheSave(step + "-saved");
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
  }

  // Save, and the file dialog given the full path: the save starts.
  void ChooseSaveFile(const Layout& l, const std::string& path, const std::string& step) {
    const XRect save = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_SAVE));
    input_->Click(CenterX(save), CenterY(save));
    const auto chooser = x_->WaitForWindow(
        program_->Pid(),
        [](const XTopWindow& w) { return w.title != "Tallowmere" && !w.title.empty(); }, kWait);
    ASSERT_TRUE(chooser) << "no file dialog";
    // The name field has the focus; GTK takes a full path there. Its
    // completion of a typed path may take the first Enter.
    input_->Key("ctrl+a");
    input_->Type(path);
    Shot(step + "-file-dialog");
    bool closed = false;
    for (int i = 0; i < 3 && !closed; ++i) {
      input_->Key("Return");
      closed = WaitFor([&] { return !WindowTitled(chooser->title); }, seconds(2));
    }
    ASSERT_TRUE(closed) << "the file dialog stayed";
  }

  // Step 3b: the protected box asks for its password; while the dialog is
  // open the main window takes no input, so a click on another box changes
  // nothing; the password typed lists the protected box's document alone.
  void OpenTheProtectedBoxWhileTheTreeIsDead(const Layout& l) {
    const XRect tree = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_BOX_TREE));
    const XRect list = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_DOCUMENT_LIST));
    const auto boxes = BandsIn(tree);  // the root, Scans, Other, Locked
    ASSERT_GE(boxes.size(), 4u);
    input_->Click(boxes[3].right - 3, (boxes[3].top + boxes[3].bottom) / 2);
    const auto password = WaitForTitle("TWAIN Box Password");
    ASSERT_TRUE(password) << "no password dialog";
    Shot("3b-password");
    input_->Click(boxes[1].right - 3, (boxes[1].top + boxes[1].bottom) / 2);
    // Nothing may follow the click: no listing of Scans behind the dialog.
    // The list is looked at above the dialog, which may stand over it.
    XRect rows = list;
    if (const auto dialog = input_->Geometry(password->id); dialog && dialog->y > list.y) {
      rows.height = std::min(list.height, dialog->y - list.y);
    }
    EXPECT_FALSE(WaitFor([&] { return BandsIn(rows).size() > 1; }, seconds(2)))
        << "the tree took a click while the password dialog was open";
    EXPECT_TRUE(WindowTitled("TWAIN Box Password"));
    Shot("3b-password-clicked");
    const Layout p = DialogLayout(*password, res::IDD_PASSWORD);
    TypeInto(p.Place(TemplateRect(res::IDD_PASSWORD, res::IDC_PASSWORD_EDIT)), "1234");
    const XRect ok = p.Place(TemplateRect(res::IDD_PASSWORD, res::IDC_PASSWORD_OK));
    input_->Click(CenterX(ok), CenterY(ok));
    ASSERT_TRUE(Gone("TWAIN Box Password"));
    // The header and Locked's one document.
    EXPECT_TRUE(WaitFor([&] { return BandsIn(list).size() == 2; })) << "not Locked's document alone";
    Shot("3b-protected-box");
  }

  // The menu bar's titles, left to right: their ink's first and last column.
  std::vector<std::pair<int, int>> MenuTitles(const Layout& l) {
    std::vector<std::pair<int, int>> titles;
    const auto screen = input_->Grab();
    if (!screen) return titles;
    for (int x = l.window.x; x < l.window.x + l.window.width; ++x) {
      bool ink = false;
      for (int y = l.window.y; y < l.window.y + l.clientTop && !ink; ++y) {
        ink = screen->Luminance(x, y) < 100;
      }
      if (!ink) continue;
      if (titles.empty() || x - titles.back().second > 10) titles.push_back({x, x});
      titles.back().second = x;
    }
    return titles;
  }

  // Step 4: "Mode Change" > "Simple Mode" from the menu bar (the second
  // menu's title; the grayed "Advanced Mode" is passed over by the keys),
  // then Save: the newest document into the folder of the settings. Esc in
  // the open menu first closes the menu and leaves the program running.
  void SaveInSimpleMode(Layout& l) {
    const std::vector<std::pair<int, int>> titles = MenuTitles(l);
    ASSERT_GE(titles.size(), 2u);
    const auto openModeMenu = [&] {
      input_->Click((titles[1].first + titles[1].second) / 2, l.window.y + l.clientTop / 2);
    };
    openModeMenu();
    // The open menu reaches below the menu bar, over the window.
    const XRect under = {l.window.x + titles[1].first, l.window.y + l.clientTop + 2, 60, 30};
    const auto before = input_->Grab();
    ASSERT_TRUE(before);
    const auto shown = [&] {
      const auto now = input_->Grab();
      if (!now) return false;
      for (int y = under.y; y < under.y + under.height; ++y) {
        for (int x = under.x; x < under.x + under.width; ++x) {
          if (now->At(x, y) != before->At(x, y)) return true;
        }
      }
      return false;
    };
    WaitFor(shown, seconds(2));  // drawn at once, or already when grabbed
    Shot("4-mode-menu");
    input_->Key("Escape");
    EXPECT_FALSE(program_->WaitForExit(std::chrono::milliseconds(1500))) << "Esc in the menu ended the program";
    openModeMenu();
    input_->Key("Down");
    input_->Key("Return");
    const auto main = WaitForTitle("Tallowmere");
    ASSERT_TRUE(main);
    const int advancedWidth = l.window.width;
    ASSERT_TRUE(WaitFor([&] {
      l.window = input_->Geometry(main->id).value_or(l.window);
      return l.window.width < advancedWidth;
    })) << "no Simple view";
    Shot("4-simple-mode");
    const XRect save = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_SIMPLE_SAVE));
    input_->Click(CenterX(save), CenterY(save));
    ConfirmTheSave("4-simple-saved");
  }

  static int Run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  XvfbServer xvfb_;
  ProgramCopy copy_;
  std::unique_ptr<XWindows> x_;
  std::unique_ptr<XInput> input_;
  std::unique_ptr<SimProcess> sim_;
  std::unique_ptr<ProgramProcess> program_;
  int searchPort_ = 0;
};

TEST_F(UserFlowTest, SearchPreviewSaveSimpleModeExitAndStartAgain) {
  Start();
  ASSERT_NO_FATAL_FAILURE(SelectTheSimulatedMfp());
  Layout l;
  ASSERT_NO_FATAL_FAILURE(OpenTheBoxAndPreview(l));

  // Step 3: the colour document as PDF, the black-and-white one as TIFF.
  const std::string pdf = copy_.File("out/colour.pdf");
  const std::string tiff = copy_.File("out/mono.tif");
  std::filesystem::create_directories(copy_.File("out"));
  ASSERT_NO_FATAL_FAILURE(SaveAdvanced(l, pdf, "3-pdf"));
  EXPECT_EQ(Run("qpdf --check '" + pdf + "' >/dev/null"), 0);
  ASSERT_NO_FATAL_FAILURE(SelectDocument(l, 0));
  ASSERT_NO_FATAL_FAILURE(SaveAdvanced(l, tiff, "3-tiff"));
  EXPECT_EQ(Run("tiffinfo '" + tiff + "' >/dev/null"), 0);
  ASSERT_NO_FATAL_FAILURE(OpenTheProtectedBoxWhileTheTreeIsDead(l));

  // Step 4: the black-and-white document, the newest, in the default format.
  const XRect advanced = l.window;
  ASSERT_NO_FATAL_FAILURE(SaveInSimpleMode(l));
  const auto simple = FilesIn(copy_.File("simple"));
  ASSERT_EQ(simple.size(), 1u);
  const std::string saved = copy_.File("simple/" + simple[0]);
  EXPECT_EQ(Run((saved.ends_with(".pdf") ? "qpdf --check '" : "tiffinfo '") + saved + "' >/dev/null"),
            0) << saved;

  // Step 5: Esc, right after the save, ends the program as Exit does; the
  // settings hold the device chosen. The mode the program starts in is
  // Basic Settings' (Advanced here): the menu's switch lasts for the session.
  input_->Key("Escape");
  EXPECT_EQ(program_->WaitForExit(kWait), 0) << "Esc after a save: " << program_->Stderr();
  Shot("5-exited");
  const std::string ini = copy_.Read("program/setting/tallowmere.ini");
  for (const std::string& line :
       {std::string("IPv4Address=127.0.0.1"), "httpPortNumber=" + std::to_string(sim_->Port()),
        "SearchPortNumber=" + std::to_string(searchPort_), std::string("isNotShowDlg=1"),
        std::string("SimpleMode=0"), "folderPath=" + copy_.File("simple")}) {
    EXPECT_NE(ini.find(line + "\r\n"), std::string::npos) << line << " not in\n" << ini;
  }

  // Step 6: the next start connects to the stored device without asking,
  // in Advanced Mode, and lists its boxes.
  Start();
  const auto main = WaitForTitle("Tallowmere");
  ASSERT_TRUE(main) << program_->Stderr();
  EXPECT_FALSE(WindowTitled("Select MFP"));
  EXPECT_TRUE(WaitFor([&] {
    const auto now = input_->Geometry(main->id);
    if (!now || now->width != advanced.width || now->height != advanced.height) return false;
    l = MainLayout(*main);
    return l.clientTop > 0 && BandsIn(l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_BOX_TREE))).size() >= 3;
  })) << "not the Advanced view with the device's boxes";
  Shot("6-started-again");
  const XRect exit = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_EXIT));
  input_->Click(CenterX(exit), CenterY(exit));
  EXPECT_EQ(program_->WaitForExit(kWait), 0) << program_->Stderr();
}

// With a window manager, as on a desktop: while the progress dialog shows
// "Saved successfully", a click on the main window behind it leaves the
// keyboard with the dialog, and Enter closes it.
TEST_F(UserFlowTest, EnterClosesTheSavedProgressAfterAClickOnTheMainWindow) {
  WindowManager wm(xvfb_.Display());
  if (!wm.ok()) GTEST_SKIP() << "no window manager (openbox)";
  StoreTheSimulatedMfp();
  Start();
  Layout l;
  ASSERT_NO_FATAL_FAILURE(OpenTheFirstBox(l, 3, 3));
  ASSERT_NO_FATAL_FAILURE(SelectDocument(l, 1));
  const std::string pdf = copy_.File("out/colour.pdf");
  std::filesystem::create_directories(copy_.File("out"));
  ASSERT_NO_FATAL_FAILURE(ChooseSaveFile(l, pdf, "11"));
  XRect ok;
  ASSERT_NO_FATAL_FAILURE(WaitUntilSaved("11-saved", &ok));

  // A bare spot of the main window, left of its Save button, clear of the
  // dialog in the middle of the screen.
  const XRect bare = l.Place(DialogRect{10, 245, 20, 14});
  input_->Click(CenterX(bare), CenterY(bare));
  // The window manager's answer to the click, if any, comes first.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  Shot("11-main-clicked");
  input_->Key("Return");
  EXPECT_TRUE(Gone("Progress")) << "Enter did not reach the progress dialog";
  Shot("11-closed");
  EXPECT_TRUE(std::filesystem::exists(pdf)) << pdf;
  input_->Key("Escape");
  EXPECT_EQ(program_->WaitForExit(kWait), 0) << program_->Stderr();
}

// With a window manager, as on a desktop: the device stored, a first start
// that connects at once, then one whose connection fails and is mended in
// the selection dialog. The main window has the same size on the screen
// after either road, its bottom row whole. The close box ends the program.
TEST_F(UserFlowTest, MainWindowKeepsItsSizeAfterAFailedAutomaticConnection) {
  WindowManager wm(xvfb_.Display());
  if (!wm.ok()) GTEST_SKIP() << "no window manager (openbox)";
  StoreTheSimulatedMfp();

  Start();
  Layout plain;
  const auto first = MainWindowWithBoxes(plain);
  ASSERT_TRUE(first) << program_->Stderr();
  Shot("7-connected-at-once");
  input_->Key("Escape");
  ASSERT_EQ(program_->WaitForExit(kWait), 0) << program_->Stderr();

  sim_->SetFaults({"list-boxes drop"});
  Start();
  const auto box = WaitForTitle("Communication");  // "Unable to connect to the scanner."
  ASSERT_TRUE(box) << program_->Stderr();
  input_->Key("Return");
  const auto select = WaitForTitle("Select MFP");
  ASSERT_TRUE(select) << program_->Stderr();
  sim_->SetFaults({});
  const Layout s = DialogLayout(*select, res::IDD_SELECT_MFP);
  const XRect ok = s.Place(TemplateRect(res::IDD_SELECT_MFP, res::IDC_SELECT_MFP_OK));
  input_->Click(CenterX(ok), CenterY(ok));
  Layout mended;
  const auto second = MainWindowWithBoxes(mended);
  ASSERT_TRUE(second) << program_->Stderr();
  Shot("7-main-after-failed-connect");
  EXPECT_EQ(mended.window.width, plain.window.width);
  EXPECT_EQ(mended.window.height, plain.window.height);
  // Its bottom row inside the window: the Exit button's caption is drawn.
  const XRect exit = mended.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_EXIT));
  EXPECT_LE(exit.y + exit.height, mended.window.y + mended.window.height);
  x_->Close(*second);
  EXPECT_EQ(program_->WaitForExit(kWait), 0) << program_->Stderr();
}

// One colour document of five A4 pages at 200 dpi, about 0.94 MiB each, and
// one black-and-white document of five A4 pages at 600 dpi, about 0.35 MiB
// each; the black-and-white one is the newer.
constexpr const char* kFivePageStore = R"(<mfp name="Sim MFP">
  <box id="1" name="Scans">
    <doc id="C05" name="Five pages" timestamp="2026/12/04 09:00:00" pages="5" color="1"
         width="1654" height="2339" dpi="200"/>
    <doc id="B05" name="Five mono" timestamp="2026/12/05 09:00:00" pages="5" color="0"
         width="4960" height="7016" dpi="600"/>
  </box>
</mfp>)";

// A save of the five-page store's documents, by its row and file name.
struct FullDiskSave {
  const char* name;  // also the folder's
  std::size_t row;   // 0: the black-and-white document
  const char* file;
  std::size_t room;  // bytes of the folder's file system
};

// Each format saved into a folder on a file system with room for part of
// its output (about three of the JPEG pages): the save says "Failed to save
// the file.", the device keeps the document although "Delete after save" is
// ticked, and the folder holds nothing of the save, no hidden copy either.
TEST_F(UserFlowTest, FailedSavesIntoAFullFolderLeaveItAsItWas) {
  const FullDiskSave saves[] = {
      {"jpeg", 1, "p.jpg", 3 << 20},
      {"colour-pdf", 1, "p.pdf", 3 << 20},
      {"tiff", 0, "p.tif", 1 << 20},
      {"mono-pdf", 0, "p.pdf", 1 << 20},
  };
  // A simulator with the large documents in place of the fixture's.
  StartSimulator(kFivePageStore);
  // Made before the program starts, which sees them; gone at the end of the test.
  std::vector<ScopedMount> disks;
  for (const FullDiskSave& save : saves) {
    const std::string full = copy_.File(std::string("full-") + save.name);
    std::filesystem::create_directories(full);
    disks.push_back(ScopedMount::Tmpfs(full, save.room));
    if (!disks.back().ok()) GTEST_SKIP() << "no small file system: " << disks.back().Why();
  }
  StoreTheSimulatedMfp("DeleteFile=1\n");

  Start();
  Layout l;
  // The root and the one box; the header and the two documents.
  ASSERT_NO_FATAL_FAILURE(OpenTheFirstBox(l, 2, 3));
  for (const FullDiskSave& save : saves) {
    SCOPED_TRACE(save.name);
    const std::string full = copy_.File(std::string("full-") + save.name);
    const std::string step = std::string("8-") + save.name;
    ASSERT_NO_FATAL_FAILURE(SelectDocument(l, save.row));
    Shot(step + "-listed");
    sim_->ClearLog();

    ASSERT_NO_FATAL_FAILURE(ChooseSaveFile(l, full + "/" + save.file, step));
    // The failure's box, over the progress dialog.
    const auto failed = WaitForTitle("Save");
    ASSERT_TRUE(failed) << "no failure reported: " << program_->Stderr();
    Shot(step + "-save-failed");
    input_->Key("Return");
    if (!WaitFor([&] { return !WindowTitled("Save"); }, seconds(5))) x_->Close(*failed);
    ASSERT_TRUE(Gone("Save"));
    ASSERT_TRUE(Gone("Progress"));
    Shot(step + "-after-the-failure");

    // Every page came, so the writer failed, and the document stays.
    const std::string pages = save.row == 0 ? "loadimg FileID=00000B05" : "loadimg FileID=00000C05";
    int pagesLoaded = 0;
    for (const std::string& line : sim_->Log()) {
      EXPECT_EQ(line.find(" DELETE"), std::string::npos) << line;
      if (line.starts_with(pages)) ++pagesLoaded;
    }
    EXPECT_EQ(pagesLoaded, 5);
    EXPECT_EQ(FilesIn(full), std::vector<std::string>{});
  }

  const XRect exit = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_EXIT));
  input_->Click(CenterX(exit), CenterY(exit));
  EXPECT_EQ(program_->WaitForExit(kWait), 0) << program_->Stderr();
}

// The program killed in the middle of a save, once every page has come: no
// DELETE reached the device, and the folder holds no file under the name
// chosen, unless it is the whole document (the conversion ended first).
TEST_F(UserFlowTest, AKillInTheMiddleOfASaveLeavesNoCutFileAndDeletesNothing) {
  StartSimulator(kFivePageStore);
  StoreTheSimulatedMfp("DeleteFile=1\n");
  const std::string out = copy_.File("out");
  std::filesystem::create_directories(out);

  Start();
  Layout l;
  ASSERT_NO_FATAL_FAILURE(OpenTheFirstBox(l, 2, 3));
  ASSERT_NO_FATAL_FAILURE(SelectDocument(l, 1));
  sim_->ClearLog();
  const std::string pdf = out + "/killed.pdf";
  ASSERT_NO_FATAL_FAILURE(ChooseSaveFile(l, pdf, "12"));
  // Killed as soon as the last page has come: the writer is at work then.
  const auto pagesLoaded = [&] {
    int n = 0;
    for (const std::string& line : sim_->Log()) n += line.starts_with("loadimg FileID=00000C05") ? 1 : 0;
    return n;
  };
  ASSERT_TRUE(WaitFor([&] { return pagesLoaded() == 5; })) << program_->Stderr();
  program_->Kill();

  for (const std::string& line : sim_->Log()) EXPECT_EQ(line.find(" DELETE"), std::string::npos) << line;
  if (std::filesystem::exists(pdf)) {
    EXPECT_EQ(Run("qpdf --check '" + pdf + "' >/dev/null"), 0);
  }
  for (const std::string& name : FilesIn(out)) {
    EXPECT_TRUE(name == "killed.pdf" || name.starts_with(".")) << name;
  }
}

// A device that trickles page data: a preview, downloaded on the user
// interface thread, must not hold the window for as long as the device goes
// on. With the stall time at 3 s the preview gives up with the failed
// download's message and shows no page, and the window answers again; a
// save of a trickled document fails with the same message and leaves no
// output and no page file.
TEST_F(UserFlowTest, ATricklingDeviceFreezesNeitherPreviewNorSave) {
  StoreTheSimulatedMfp();
  Start({{"KIVOR_STALL_TIMEOUT_MS", "3000"}});
  Layout l;
  ASSERT_NO_FATAL_FAILURE(OpenTheFirstBox(l, 3, 3));
  sim_->SetFaults({"loadimg trickle 100"});

  // Preview on, then the colour document: its page trickles.
  const XRect check = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_PREVIEW));
  input_->Click(CenterX(check), CenterY(check));
  ASSERT_NO_FATAL_FAILURE(SelectDocument(l, 1));
  ASSERT_TRUE(WaitForTitle("Communication")) << "the preview did not give up";  // "Unable to download the file."
  Shot("9-preview-failed");
  input_->Key("Return");
  ASSERT_TRUE(Gone("Communication"));
  const XRect frame = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_PREVIEW_FRAME));
  const auto noPage = input_->Grab();
  ASSERT_TRUE(noPage);
  EXPECT_LT(DarkPixels(*noPage, frame), frame.width * frame.height / 50) << "a page in the preview";
  Shot("9-no-preview");

  // The window answers: the failure turned Preview off, and a click turns
  // it on again; with the device well again the page shows.
  sim_->SetFaults({});
  input_->Click(CenterX(check), CenterY(check));
  EXPECT_TRUE(WaitFor([&] {
    const auto screen = input_->Grab();
    return screen && DarkPixels(*screen, frame) > frame.width * frame.height / 50;
  })) << "no page in the preview frame";
  Shot("9-preview-again");

  // The save of a trickled document: the failed download's message, then
  // neither output nor page file.
  sim_->SetFaults({"loadimg trickle 100"});
  const std::string pdf = copy_.File("out/trickled.pdf");
  std::filesystem::create_directories(copy_.File("out"));
  ASSERT_NO_FATAL_FAILURE(ChooseSaveFile(l, pdf, "9"));
  ASSERT_TRUE(WaitForTitle("Communication")) << "the save did not give up";
  Shot("9-save-failed");
  input_->Key("Return");
  ASSERT_TRUE(Gone("Progress"));
  EXPECT_FALSE(std::filesystem::exists(pdf));
  EXPECT_TRUE(FilesIn(copy_.File("program/work/save")).empty());
  EXPECT_TRUE(FilesIn(copy_.File("out")).empty());

  sim_->SetFaults({});
  const XRect exit = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_EXIT));
  input_->Click(CenterX(exit), CenterY(exit));
  EXPECT_EQ(program_->WaitForExit(kWait), 0) << program_->Stderr();
}

// A delete after save on the screen: the saved document goes from the
// device, the box is listed again with no row selected, and the page arrows
// and the page field are greyed, the page label empty.
TEST_F(UserFlowTest, DeleteAfterSaveLeavesThePageControlsGreyed) {
  Start();
  ASSERT_NO_FATAL_FAILURE(SelectTheSimulatedMfp());
  Layout l;
  ASSERT_NO_FATAL_FAILURE(OpenTheFirstBox(l, 3, 3));
  const auto place = [&](int id) { return l.Place(TemplateRect(res::IDD_MAIN, id)); };
  const XRect list = place(res::IDC_MAIN_DOCUMENT_LIST);
  const XRect check = place(res::IDC_MAIN_PREVIEW);
  input_->Click(CenterX(check), CenterY(check));
  ASSERT_NO_FATAL_FAILURE(SelectDocument(l, 1));  // the colour one
  // Enabled controls are drawn in dark ink, greyed ones in light.
  const XRect pageControls[] = {place(res::IDC_MAIN_PREV_PAGE), place(res::IDC_MAIN_NEXT_PAGE),
                                place(res::IDC_MAIN_PAGE)};
  const XRect pageLabel = place(res::IDC_MAIN_PAGE_COUNT);
  const auto inked = [&](const XRect& r) { return !BandsIn(r).empty(); };
  ASSERT_TRUE(WaitFor([&] {
    return std::all_of(std::begin(pageControls), std::end(pageControls), inked) && inked(pageLabel);
  })) << "the page controls are not enabled for the document chosen";
  // The selected row's colour, in the empty right end of its line.
  const Band row = BandsIn(list)[2];
  const int rowRight = list.x + list.width - 12;
  const auto selection = input_->Grab();
  ASSERT_TRUE(selection);
  const std::uint32_t selected = selection->At(rowRight, (row.top + row.bottom) / 2);

  // "Delete after save" is ticked by default.
  std::filesystem::create_directories(copy_.File("out"));
  ASSERT_NO_FATAL_FAILURE(SaveAdvanced(l, copy_.File("out/colour.pdf"), "10"));
  // The header and the one document left.
  ASSERT_TRUE(WaitFor([&] { return BandsIn(list).size() == 2; })) << "not listed again";
  EXPECT_TRUE(WaitFor([&] {
    return std::none_of(std::begin(pageControls), std::end(pageControls), inked) && !inked(pageLabel);
  })) << "the page controls are not greyed after the deletion";
  const auto screen = input_->Grab();
  ASSERT_TRUE(screen);
  const Band left = BandsIn(list)[1];
  EXPECT_NE(screen->At(rowRight, (left.top + left.bottom) / 2), selected) << "a row is selected";
  Shot("10-deleted-page-controls-greyed");
  input_->Key("Escape");
  EXPECT_EQ(program_->WaitForExit(kWait), 0) << program_->Stderr();
}

// Box names wider than the tree: its horizontal scroll bar is on the
// screen, and a click on a box under a cut name selects that box.
TEST_F(UserFlowTest, LongBoxNamesGetTheTreesScrollBar) {
  StartSimulator(kLongBoxNamesStore);
  Start();
  ASSERT_NO_FATAL_FAILURE(SelectTheSimulatedMfp());
  Layout l;
  ASSERT_TRUE(MainWindowWithBoxes(l)) << "no boxes listed: " << program_->Stderr();
  const XRect tree = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_BOX_TREE));
  // The bar's trough and thumb along the tree's bottom edge: neither its
  // white background nor its black border.
  const XRect bottom{tree.x + 3, tree.y + tree.height - 14, tree.width - 6, 10};
  const auto barPixels = [&] {
    const auto screen = input_->Grab();
    int count = 0;
    for (int y = bottom.y; screen && y < bottom.y + bottom.height; ++y) {
      for (int x = bottom.x; x < bottom.x + bottom.width; ++x) {
        const int luminance = screen->Luminance(x, y);
        if (luminance > 40 && luminance < 235) ++count;
      }
    }
    return count;
  };
  EXPECT_TRUE(WaitFor([&] { return barPixels() > bottom.width * 2; })) << "no scroll bar";
  Shot("10-tree-scrollbar");
  const XRect list = l.Place(TemplateRect(res::IDD_MAIN, res::IDC_MAIN_DOCUMENT_LIST));
  const auto boxes = BandsIn(tree);  // the root, then the boxes
  ASSERT_GE(boxes.size(), 4u);
  const auto clickBox = [&](std::size_t i) {
    input_->Click(tree.x + tree.width / 2, (boxes[i].top + boxes[i].bottom) / 2);
  };
  clickBox(1);
  EXPECT_TRUE(WaitFor([&] { return BandsIn(list).size() == 2; })) << "not the first box's document";
  clickBox(2);
  EXPECT_TRUE(WaitFor([&] { return BandsIn(list).size() == 3; })) << "not the second box's documents";
  clickBox(3);
  EXPECT_TRUE(WaitFor([&] { return BandsIn(list).size() == 1; })) << "not the third box's none";
  input_->Key("Escape");
  EXPECT_EQ(program_->WaitForExit(kWait), 0) << program_->Stderr();
}

}  // namespace
}  // namespace tallow::test
