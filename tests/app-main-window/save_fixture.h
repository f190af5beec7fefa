// Saving documents through the main window against the simulated MFP: the
// file dialog answered by the test, the save progress dialog watched and
// confirmed as a user would, the destination folder, and the pages as the
// device serves them, to hold the output against.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app-dialogs/progress_view.h"
#include "main_window_fixture.h"

namespace tallow::app::testing {

// Box 1 holds a colour and a black-and-white document of five small pages
// each and an older one without pages (listed in this order, so shown the
// other way round); box 2 is protected.
inline constexpr const char* kSaveStore = R"(<mfp name="Sim">
  <box id="1" name="Scans">
    <doc id="C5" name="Colour" timestamp="2026/12/01 09:00:00" pages="5" color="1"
         width="160" height="120" dpi="100"/>
    <doc id="B5" name="Mono" timestamp="2026/12/02 09:00:00" pages="5" color="0"
         width="320" height="240" dpi="100"/>
    <doc id="E0" name="Blank" timestamp="2026/11/30 09:00:00" pages="0" color="1"/>
  </box>
  <box id="2" name="Locked" password="1234">
    <doc id="D1" name="Secret" pages="2" color="1" width="64" height="64"/>
  </box>
</mfp>)";
enum SaveRow { kRowNoPages = 0, kRowMono = 1, kRowColour = 2 };

// The PDF library of hooked_codec.c as the test reaches it: loaded by the
// test too, so that its settings are those of the library the writer loads.
struct HookedCodec {
  HMODULE module = nullptr;
  // Called inside each conversion with |context|; null: none.
  void (*setHook)(void (*hook)(void* context), void* context) = nullptr;
  // A folder the conversion writes into the work folder's buffer; null: none.
  void (*setWorkFolder)(const char16_t* folder) = nullptr;
  // A negative result the conversion fails with; 0: it writes its file.
  void (*setFailure)(std::int32_t result) = nullptr;
  // The page entries of the last conversion, 0 to 15.
  const ImageInfo* (*entries)() = nullptr;
};

class SaveTest : public MainWindowTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override;
  void TearDown() override;

  bool Usb() const { return GetParam(); }

  // Starts the simulator with |store| over the channel of the parameter,
  // with the settings' delete after save as |deleteAfterSave|.
  void StartSaveDevice(bool deleteAfterSave, const char* store = kSaveStore);
  // Runs the window with its Save button saving for real.
  int RunSaving(const std::function<void(TestMainDlg&)>& play);

  // The file dialog's answers, one per opening; once they are used up it is
  // cancelled. A path is in the destination folder unless it starts with
  // "/".
  struct FileAnswer {
    std::string path;
    int filterIndex = 1;
  };
  void AnswerFileDialogs(std::vector<FileAnswer> answers);

  // Chooses the range |first| to |last| with "Pages" (0 and 0: "All") and
  // selects |row| of the open box.
  static void ChooseRange(TestMainDlg& d, int first, int last);
  static void TypeOver(ui::CDialog& d, int id, WStringView text);

  // Page |page| of document |fileId| ("000000C5") as the device serves it.
  // Clears the device's log: asked before the requests a test looks at.
  std::string Page(const std::string& fileId, int page);
  // The destination folder: its path, a file in it, and its file names.
  std::string Out(const std::string& name = {}) const;
  std::vector<std::string> Outputs() const;
  std::vector<std::string> SaveFolderFiles() const;

  // The deletions asked of the device since the last look at its log.
  int TakeDeletes() { return TakeCount("DELETE"); }

  // Shows the black-and-white document, the newest of the store and so the
  // one the Simple view shows: in the Simple view, or selected in the box's
  // list.
  static void ShowNewest(TestMainDlg& d, bool simple);
  // What the window shows after a save that did not count: Simple Mode the
  // same document, Advanced Mode the same list.
  static void ExpectStillShown(TestMainDlg& d, bool simple);

  // Puts the hooked PDF library in the program's folder in place of the
  // real one and loads it; released at the end of the test.
  void UseHookedCodec();
  HookedCodec codec;

  // Holds each save's worker as it starts its first page until the progress
  // dialog has opened, so that the dialog opens on the state before any
  // page whatever the schedule. Uses onWorkerWait.
  void HoldFirstPageUntilProgressOpens();

  // The save progress dialog as it opened, as it showed its completion
  // (when it did) and as it closed, for the last save; how often it ran.
  Snapshot progressAtOpen;
  Snapshot progressCompleted;
  Snapshot progressAtClose;
  bool progressCompletedSeen = false;
  int progressRuns = 0;
  // Called as the save progress dialog's window is about to be made.
  std::function<void()> onProgressMaking;
  // Called on other dialogs than the progress (the password dialog, say).
  std::function<void(ui::CDialog&)> onDialog;
  // The test's own main window, for the worker's hooks.
  TestMainDlg* window = nullptr;

 private:
  // Whether the save progress dialog is open, for the worker to wait on.
  std::mutex progressOpenLock_;
  std::condition_variable progressOpened_;
  bool progressOpen_ = false;
};

}  // namespace tallow::app::testing
