#include "app/dialogs/progress_dlg.h"

#include <atomic>
#include <cstddef>
#include <thread>

#include "app_fixture.h"
#include "progress_view.h"
#include "platform/ui/ui_thread.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;

// The main window's part in a save: it takes the cancel request.
class FakeOwner : public CConvertDlg {
 public:
  FakeOwner() : CConvertDlg(0) {}
  void CancelConvert() override { ++cancels; }
  std::atomic<int> cancels{0};
};

class ProgressDlgTest : public AppDialogTest {
 protected:
  void TearDown() override {
    if (worker.joinable()) worker.join();
  }
  // As the save road: owner and total set, then the modal run.
  int RunSave() {
    dlg.m_pOwner = &owner;
    dlg.m_nTotal = 100;
    return dlg.DoModal();
  }
  // The user cancels, and the worker's final report after a cancel closes.
  void CancelAndClose(CDialog& d) {
    d.InputClick(IDC_PROGRESS_CANCEL);
    dlg.PostMessageW(WM_CLOSE);
  }
  FakeOwner owner;
  CProgressDlg dlg{kProgressSave, &owner};
  std::thread worker;
};

TEST_F(ProgressDlgTest, OpensSavingWithItsTextsAndTheCloseEntryGrayed) {
  ui.OnDialog([&](CDialog& d) {
    EXPECT_EQ(d.GetWindowText(), u"Progress");
    EXPECT_FALSE(d.IsCloseCommandEnabled());
    int lower = -1, upper = -1;
    d.GetDlgItem(IDC_PROGRESS_BAR)->GetRange(&lower, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 100);
    ExpectSaving(Take(d), 0);
    d.InputCloseBox();  // grayed: nothing happens
    EXPECT_FALSE(d.IsEnded());
    CancelAndClose(d);
  });
  EXPECT_EQ(RunSave(), IDCANCEL);
}

TEST_F(ProgressDlgTest, BarFillsNinetyStepsOverThePageRange) {
  struct Case {
    int done, last, pos;
  };
  const Case cases[] = {
      {1, 3, 30}, {2, 3, 60}, {3, 3, 90},  // the last page gives 90
      {50, 100, 45},                       // more pages than steps still moves
      {3, 5, 54},                          // a range not starting at 1
      {0, 0, 0},                           // an empty range divides by nothing
      {2000000000, 2000000000, 90},        // the product does not overflow
  };
  ui.OnDialog([&](CDialog& d) {
    for (const Case& c : cases) {
      dlg.UpdateSaveProgress(c.done, c.last);
      EXPECT_EQ(d.GetDlgItem(IDC_PROGRESS_BAR)->GetPos(), c.pos) << c.done << "/" << c.last;
    }
    CancelAndClose(d);
  });
  EXPECT_EQ(RunSave(), IDCANCEL);
}

TEST_F(ProgressDlgTest, WorkerCompletesAndOkIsTheOnlyEnabledDefaultButton) {
  Snapshot before, after;
  ui.OnDialog([&](CDialog& d) {
    worker = std::thread([&] {
      for (int page = 1; page <= 3; ++page) dlg.UpdateSaveProgress(page, 3);
      PostToUi([&] { before = Take(d); });
      dlg.UpdateSaveProgress(4, 3);
      dlg.UpdateSaveProgress(2, 3);  // nothing moves after completion,
      dlg.ReportSaveFailure(kSaveConvertFailed);  // nor does a failure
      PostToUi([&] {
        after = Take(d);
        d.InputEscape();  // Cancel is disabled: the key does nothing
        d.InputEnter();   // OK, the default
      });
    });
  });
  EXPECT_EQ(RunSave(), IDOK);
  worker.join();
  ExpectSaving(before, 90);
  ExpectCompleted(after);
  EXPECT_EQ(owner.cancels, 0);
  EXPECT_TRUE(ui.MessageBoxes().empty());

  // The next save starts afresh.
  Snapshot next;
  ui.OnDialog([&](CDialog& d) {
    next = Take(d);
    CancelAndClose(d);
  });
  EXPECT_EQ(RunSave(), IDCANCEL);
  ExpectSaving(next, 0);
}

TEST_F(ProgressDlgTest, FailureShowsItsBoxThenTheStatusThenCloses) {
  struct Case {
    int code;
    const char16_t* text;
    const char16_t* caption;
  };
  const Case cases[] = {
      {kSaveDownloadFailed, u"Unable to download the file.", u"Communication"},
      {kSaveConvertFailed, u"Failed to save the file.", u"Save"},
      {0, nullptr, nullptr},  // an unknown code: no box, the dialog still closes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    HeadlessBackend& local = ui;
    const std::size_t boxesBefore = ui.MessageBoxes().size();
    FakeOwner localOwner;
    CProgressDlg progress(kProgressSave, &localOwner);
    progress.m_pOwner = &localOwner;
    Snapshot atBox;
    bool openAtBox = false;
    local.OnMessageBox([&](const MessageBoxRecord&) {
      openAtBox = progress.GetSafeHwnd() != nullptr;
      atBox = Take(progress);
      return IDOK;
    });
    std::thread failing;
    local.OnDialog([&](CDialog&) {
      failing = std::thread([&] {
        progress.UpdateSaveProgress(1, 2);
        progress.ReportSaveFailure(c.code);
        progress.UpdateSaveProgress(3, 2);  // the worker's final report: ignored
      });
    });
    EXPECT_EQ(progress.DoModal(), IDCANCEL);
    failing.join();
    EXPECT_EQ(progress.m_strStatus, u"Failed to save the file.");
    if (!c.text) {
      EXPECT_EQ(local.MessageBoxes().size(), boxesBefore);
      continue;
    }
    ASSERT_EQ(local.MessageBoxes().size(), boxesBefore + 1);
    const MessageBoxRecord& box = local.MessageBoxes().back();
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.caption, c.caption);
    EXPECT_EQ(box.type, MB_ICONERROR);
    EXPECT_EQ(box.ownerWindow, &progress);
    EXPECT_TRUE(openAtBox);
    ExpectSaving(atBox, 45);  // the status changes only after the box
  }
}

TEST_F(ProgressDlgTest, WorkerThatFinishesBeforeTheWindowExistsIsShownWhenItOpens) {
  // Completion.
  worker = std::thread([&] {
    dlg.UpdateSaveProgress(1, 1);
    dlg.UpdateSaveProgress(2, 1);
  });
  worker.join();
  Snapshot atOpen;
  ui.OnDialog([&](CDialog& d) {
    atOpen = Take(d);
    d.InputClick(IDC_PROGRESS_OK);
  });
  EXPECT_EQ(RunSave(), IDOK);
  ExpectCompleted(atOpen);

  // Failure: its box comes once the window is there, owned by it; the next
  // save that fails so shows its own.
  for (std::size_t save = 1; save <= 2; ++save) {
    SCOPED_TRACE(save);
    worker = std::thread([&] { dlg.ReportSaveFailure(kSaveDownloadFailed); });
    worker.join();
    EXPECT_EQ(ui.MessageBoxes().size(), save - 1);
    ui.OnDialog([&](CDialog& d) { ExpectSaving(Take(d), 0); });
    EXPECT_EQ(RunSave(), IDCANCEL);
    ASSERT_EQ(ui.MessageBoxes().size(), save);
    EXPECT_EQ(ui.MessageBoxes().back().text, u"Unable to download the file.");
    EXPECT_EQ(ui.MessageBoxes().back().ownerWindow, &dlg);
    EXPECT_EQ(dlg.m_strStatus, u"Failed to save the file.");
  }

  // Pages only: the bar stands where the worker had come.
  dlg.UpdateSaveProgress(2, 4);
  ui.OnDialog([&](CDialog& d) {
    ExpectSaving(Take(d), 45);
    CancelAndClose(d);
  });
  EXPECT_EQ(RunSave(), IDCANCEL);
}

// The user cancels between a failure and its box: no box for a save given
// up. The failure came before the window opened, so that its box is queued
// behind the click.
TEST_F(ProgressDlgTest, CancelBeforeAFailuresBoxShowsNoBox) {
  worker = std::thread([&] { dlg.ReportSaveFailure(kSaveDownloadFailed); });
  worker.join();
  PostToUi([&] { dlg.InputClick(IDC_PROGRESS_CANCEL); });
  EXPECT_EQ(RunSave(), IDCANCEL);
  EXPECT_EQ(owner.cancels, 1);
  EXPECT_TRUE(ui.MessageBoxes().empty());
  EXPECT_EQ(dlg.m_strStatus, u"Failed to save the file.");
}

TEST_F(ProgressDlgTest, CancelDuringABurstOfReportsStopsTheBarAndWaitsForTheWorker) {
  // Each page moves the bar (90 / 20 steps), so that a report let through
  // after the cancel shows.
  constexpr int kLast = 20;
  constexpr int kCancelAfter = 10;
  std::atomic<int> stoppedAt{0};
  Snapshot afterCancel;
  bool openAfterCancel = false;
  ui.OnDialog([&](CDialog& d) {
    worker = std::thread([&] {
      for (int page = 1; page <= kLast; ++page) {
        // The page in hand when the cancel comes is reported all the same.
        dlg.UpdateSaveProgress(page, kLast);
        if (owner.cancels > 0) {
          stoppedAt = page;
          break;
        }
        // The user's click between two reports, handled before the next.
        if (page == kCancelAfter) SendToUi([&] { d.InputClick(IDC_PROGRESS_CANCEL); });
      }
      // The dialog is still open after the cancel, showing where it stopped.
      PostToUi([&] {
        openAfterCancel = !d.IsEnded();
        afterCancel = Take(d);
        d.InputClick(IDC_PROGRESS_CANCEL);  // disabled: no second request
      });
      dlg.UpdateSaveProgress(kLast + 1, kLast);  // a completion after the cancel
    });
  });
  EXPECT_EQ(RunSave(), IDCANCEL);
  worker.join();
  EXPECT_EQ(owner.cancels, 1);
  EXPECT_EQ(stoppedAt, kCancelAfter + 1);
  EXPECT_TRUE(openAfterCancel);
  // Page 10's 45 steps; the report of page 11, after the click, would give 49.
  ExpectSaving(afterCancel, 45, false);
  EXPECT_TRUE(ui.MessageBoxes().empty());
}

TEST_F(ProgressDlgTest, CancelKeyAndCloseRequestAskTheWorkerToStopAndAFailureThenChangesNothing) {
  for (const bool byKey : {true, false}) {
    SCOPED_TRACE(byKey ? "cancel key" : "close request");
    Snapshot afterAsk, afterFailure;
    bool openAfterAsk = false, openAfterFailure = false;
    const int cancelsBefore = owner.cancels;
    int cancelsAfterAsk = 0;
    ui.OnDialog([&](CDialog& d) {
      if (byKey) {
        d.InputEscape();
      } else {
        d.WindowProc(WM_CLOSE);  // while the worker runs, a close request is a cancel
      }
      cancelsAfterAsk = owner.cancels;
      openAfterAsk = !d.IsEnded();
      afterAsk = Take(d);
      d.InputEscape();  // Cancel is disabled now: no second request
      worker = std::thread([&] {
        // A failure after a cancel changes nothing: no box, no status, no close.
        dlg.ReportSaveFailure(kSaveConvertFailed);
        PostToUi([&] {
          openAfterFailure = !d.IsEnded();
          afterFailure = Take(d);
        });
        dlg.PostMessageW(WM_CLOSE);  // the worker's final report after a cancel
      });
    });
    EXPECT_EQ(RunSave(), IDCANCEL);
    worker.join();
    EXPECT_TRUE(openAfterAsk);
    EXPECT_TRUE(openAfterFailure);
    EXPECT_EQ(cancelsAfterAsk, cancelsBefore + 1);
    EXPECT_EQ(owner.cancels, cancelsBefore + 1);
    ExpectSaving(afterAsk, 0, false);
    ExpectSaving(afterFailure, 0, false);
    EXPECT_EQ(dlg.m_strStatus, u"Now Saving Document(s)");
    EXPECT_TRUE(ui.MessageBoxes().empty());
  }
}

// From the moment they are first on the screen: no line of another mode is
// seen for a moment.
TEST_F(ProgressDlgTest, ModelessModesShowOnlyTheirLine) {
  struct Case {
    int mode;
    const char16_t* status;
  };
  for (const Case& c : {Case{kProgressPreparingSimple, u"Now Preparing Simple Mode"},
                        Case{kProgressStarting, u"Now Starting Application"}}) {
    SCOPED_TRACE(c.mode);
    const auto expectItsLineOnly = [&](CDialog& window) {
      EXPECT_TRUE(window.IsWindowVisible());
      EXPECT_FALSE(window.IsCloseCommandEnabled());
      EXPECT_EQ(window.GetDlgItemText(IDC_PROGRESS_STATUS), c.status);
      EXPECT_FALSE(window.GetDlgItem(IDC_PROGRESS_BAR)->IsVisible());
      EXPECT_FALSE(window.GetDlgItem(IDC_PROGRESS_OK)->IsEnabled());
      EXPECT_FALSE(window.GetDlgItem(IDC_PROGRESS_CANCEL)->IsEnabled());
    };
    int presented = 0;
    ui.OnPresent([&](CDialog& window) {
      ++presented;
      SCOPED_TRACE("first shown");
      expectItsLineOnly(window);
    });
    CProgressDlg window(c.mode, nullptr);
    ui.OnPresent(nullptr);
    ASSERT_NE(window.GetSafeHwnd(), nullptr);
    EXPECT_EQ(presented, 1);
    expectItsLineOnly(window);
    window.InputEscape();
    window.InputCloseBox();
    EXPECT_NE(window.GetSafeHwnd(), nullptr);  // its user destroys it
    window.DestroyWindow();
    EXPECT_EQ(window.GetSafeHwnd(), nullptr);
  }
}

}  // namespace
}  // namespace tallow::app::testing
