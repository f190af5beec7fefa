// The main window on the headless back end against the simulated MFP, over
// the network or over USB: a program folder of the test's own (working
// folders, settings file, the XML library and the Still Image stand-in),
// the current settings pointing at the simulator, and the boxes listed
// once as the MFP selection does before the window opens.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window/main_dlg.h"
#include "platform/library.h"
#include "platform/ui/headless/headless_backend.h"
#include "support/kivor_loader.h"
#include "support/program_folder.h"
#include "support/sim_process.h"

namespace tallow::app::testing {

// The store the tests list: box 1 with a portrait colour document of three
// pages, a landscape black-and-white one of two and one without pages
// (listed in this order, so shown the other way round), a protected box and
// an empty one.
inline constexpr const char* kStore = R"(<mfp name="Sim">
  <box id="1" name="Scans">
    <doc id="A1" name="Portrait" timestamp="2026/12/01 09:00:00" pages="3" color="1"
         width="100" height="200"/>
    <doc id="A2" name="Landscape" timestamp="2026/12/02 09:00:00" pages="2" color="0"
         width="200" height="100"/>
    <doc id="A3" name="Blank" timestamp="2026/12/03 09:00:00" pages="0" color="1"/>
  </box>
  <box id="2" name="Locked" password="1234">
    <doc id="B1" name="Secret" pages="1" color="1" width="64" height="64"/>
  </box>
  <box id="3" name="Empty"/>
</mfp>)";

// Rows of box 1 as the list shows them.
enum Row { kRowBlank = 0, kRowLandscape = 1, kRowPortrait = 2 };

// The window with its OK counted: the default button's press shows here.
// It saves only when the test says so.
class TestMainDlg : public CMainDlg {
 public:
  void OnOK() override {
    ++okPressed;
    if (saves) CMainDlg::OnOK();
  }
  int okPressed = 0;
  bool saves = false;
};

// The headless back end that also records the modeless windows put on the
// screen and the windows taken down.
class RecordingBackend : public ui::HeadlessBackend {
 public:
  void PresentNow(ui::CDialog& d) override { presented.push_back(d.TemplateId()); }
  void WindowDestroyed(ui::CDialog& d) override {
    if (onDestroyed) onDestroyed(d);
  }
  // A window about to be made from |t|: it does not exist yet.
  ui::BaseUnits DialogBaseUnits(const ui::DialogTemplate& t) override {
    if (onMaking) onMaking(t.id);
    return HeadlessBackend::DialogBaseUnits(t);
  }
  // A wait cursor shown off the UI thread: a save worker about to download
  // a page (and read its image information). Set before the worker starts.
  void Show(HCURSOR cursor) override {
    HeadlessBackend::Show(cursor);
    if (cursor == IDC_WAIT && !ui::IsUiThread() && onWorkerWait) onWorkerWait();
  }
  std::vector<int> presented;
  std::function<void(ui::CDialog&)> onDestroyed;
  std::function<void(int templateId)> onMaking;
  std::function<void()> onWorkerWait;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the simulator with |store| (and |faults|) and points the current
  // MFP settings at it, over USB when |usb|; then lists its boxes, as the
  // selection dialog does before the main window opens.
  void StartDevice(bool usb, const std::vector<std::string>& faults = {},
                   const char* store = kStore);

  // Opens the main window and hands it to |play| once it is shown; closes it
  // with Esc afterwards unless |play| ended it. Other modal dialogs go to
  // |onOtherDialog_| (default: Esc). Answers DoModal's result.
  int Run(const std::function<void(TestMainDlg&)>& play);

  // Clicks |item|'s label, or empty space below the items with null.
  static void ClickTree(ui::CTreeCtrl& tree, ui::HTREEITEM item);
  // The box item named |name| under the root.
  static ui::HTREEITEM BoxItem(const ui::CTreeCtrl& tree, WStringView name);
  // Clicks box |name| in the tree and answers how many rows the list got.
  static int OpenBox(TestMainDlg& d, WStringView name);

  // The device's request log since the last look, one line each; the page
  // numbers asked for; the requests whose line holds |what|.
  std::vector<std::string> TakeLog();
  std::vector<int> TakePagesAsked();
  int TakeCount(const std::string& what);
  // The same of a log taken before.
  static std::vector<int> PagesIn(const std::vector<std::string>& log);
  static int CountIn(const std::vector<std::string>& log, const std::string& what);

  // The listings in |log| that sent an empty password.
  static int EmptyPasswordsIn(const std::vector<std::string>& log);
  // Answers the password dialog with |typed| and OK, counting it in |asked|.
  static std::function<void(ui::CDialog&)> TypePassword(const char16_t* typed, int* asked);

  // Starts as the program does from a settings file that holds the current
  // settings with remembering on, its stored password edited by hand into
  // |stored|.
  void StartUpWithStoredPassword(const std::string& stored);

  // The texts of the message boxes shown since the last look.
  std::vector<WString> TakeMessages();

  test::ScratchProgramFolder program_{"kivor.so", "sti.so", "pdfdumel.so", "tiffdumel.so"};
  test::KivorLibrary kivor_;
  HMODULE sti_ = nullptr;
  std::unique_ptr<test::SimProcess> sim_;
  RecordingBackend ui;
  std::function<void(ui::CDialog&)> onOtherDialog_;
  std::size_t messagesSeen_ = 0;
};

}  // namespace tallow::app::testing
