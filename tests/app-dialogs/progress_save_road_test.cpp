// The save progress dialog driven by a real save worker, called exactly as
// the main window's save road calls it: the shared save context with its
// reporting rule, the worker's statuses and the progress callback. The
// device and the writer are scripts.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "app/dialogs/progress_dlg.h"
#include "app_fixture.h"
#include "platform/ui/ui_thread.h"
#include "progress_view.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::ui;

// ConvertStatus.
enum : int {
  kStarted = 1,
  kDownloading = 2,
  kConverting = 3,
  kFinished = 4,
  kCancelled = 5,
  kDownloadFailed = 128,
  kConvertFailed = 129,
};

// A gate that the worker waits at until the UI thread opens it.
class Gate {
 public:
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return open_; });
  }
  void Close() {
    std::lock_guard lock(mutex_);
    open_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// The main window as far as a save goes.
class SaveRoad : public CConvertDlg {
 public:
  struct Script {
    int first = 1;
    int last = 3;
    std::function<bool(int page)> download = [](int) { return true; };
    std::function<bool()> convert = [] { return true; };
    std::function<void()> finished = [] {};  // after the worker's final report
  };

  SaveRoad() : CConvertDlg(0) {}
  ~SaveRoad() override {
    if (worker_.joinable()) worker_.join();
  }

  // True when the save completed and the user confirmed it with OK.
  bool RunConvertThread(const Script& script) {
    context_.Reset();
    script_ = script;
    context_.pOwner = this;
    context_.pfnCallback = &SaveRoad::ConvertProgressCallback;
    Report(kStarted, context_.nCurrent, context_.nTotal);
    worker_ = std::thread([this] { SaveThreadProc(); });
    m_progressDlg.m_pOwner = this;
    m_progressDlg.m_nTotal = 100;
    lastResult = m_progressDlg.DoModal();
    // The worker ends before its context is reset, so it never sees it reset.
    worker_.join();
    context_.Reset();
    return lastResult == IDOK;
  }

  void CancelConvert() override {
    context_.bCancel = true;
    ++cancels;
  }

  CProgressDlg m_progressDlg{kProgressSave, this};
  std::atomic<int> cancels{0};
  std::atomic<int> downloaded{0};
  int lastResult = 0;  // of the progress dialog's last run

 private:
  struct ConvertThreadContext {
    std::atomic<bool> bCancel{false};
    int nStatus = kFinished;
    int nCurrent = 0;
    int nTotal = 0;
    void (*pfnCallback)(SaveRoad*) = nullptr;
    SaveRoad* pOwner = nullptr;

    void Reset() {
      bCancel = false;
      nStatus = kFinished;
      nCurrent = nTotal = 0;
      pfnCallback = nullptr;
      pOwner = nullptr;
    }
  };

  // The reporting rule: only a change is reported.
  void Report(int status, int current, int total) {
    ConvertThreadContext& c = context_;
    if (status == c.nStatus && current == c.nCurrent && total == c.nTotal) return;
    c.nStatus = status;
    c.nCurrent = current;
    c.nTotal = total;
    if (c.pOwner && c.pfnCallback) c.pfnCallback(c.pOwner);
  }

  void SaveThreadProc() {
    ConvertThreadContext& c = context_;
    Report(kDownloading, 0, script_.last);
    bool stopped = false;
    for (int page = script_.first; page <= script_.last && !stopped; ++page) {
      if (!script_.download(page)) {
        Report(kDownloadFailed, page, c.nTotal);
        stopped = true;
      } else if (c.bCancel) {
        ++downloaded;
        Report(kCancelled, c.nCurrent, c.nTotal);
        stopped = true;
      } else {
        ++downloaded;
        Report(c.nStatus, page, script_.last);
      }
    }
    if (!stopped && !c.bCancel) {
      Report(kConverting, c.nCurrent, c.nTotal);
      if (!script_.convert()) Report(kConvertFailed, 0, c.nTotal);
    }
    Report(kFinished, c.nCurrent, c.nTotal);
    script_.finished();
  }

  // On the worker, for the owner dialog.
  static void ConvertProgressCallback(SaveRoad* self) {
    CProgressDlg& progress = self->m_progressDlg;
    const HWND window = progress.GetSafeHwnd();
    if (!window || !IsWindow(window)) return;
    const ConvertThreadContext& c = self->context_;
    if (c.bCancel) {
      // No failure is shown after a cancel; the final report closes.
      if (c.nStatus == kFinished) progress.PostMessageW(WM_CLOSE);
      return;
    }
    switch (c.nStatus) {
      case kDownloadFailed:
        progress.ReportSaveFailure(kSaveDownloadFailed);
        break;
      case kConvertFailed:
        progress.ReportSaveFailure(kSaveConvertFailed);
        break;
      case kFinished:
        progress.UpdateSaveProgress(c.nTotal + 1, c.nTotal);
        break;
      default:
        if (c.nTotal > 0) progress.UpdateSaveProgress(c.nCurrent, c.nTotal);
        break;
    }
  }

  ConvertThreadContext context_;
  Script script_;
  std::thread worker_;
};

class ProgressSaveRoadTest : public AppDialogTest {
 protected:
  void SetUp() override {
    AppDialogTest::SetUp();
    // The first page takes until the dialog is on the screen, as a device
    // takes its time; the test acts on the dialog first.
    ui.OnDialog([this](CDialog& d) {
      atOpen = Take(d);
      if (onOpen) onOpen(d);
      shown.Open();
    });
  }
  // A script whose first page waits for the dialog.
  SaveRoad::Script Pages(int first, int last) {
    SaveRoad::Script s;
    s.first = first;
    s.last = last;
    s.download = [this, first](int page) {
      if (page == first) shown.Wait();
      return true;
    };
    return s;
  }
  bool Run(const SaveRoad::Script& script) {
    shown.Close();
    road.downloaded = 0;
    return road.RunConvertThread(script);
  }
  // On the worker: what the user does next, once the UI thread gets to it.
  void Then(std::function<void(CDialog&)> action) {
    PostToUi([this, action] { action(road.m_progressDlg); });
  }

  SaveRoad road;
  Gate shown;
  Snapshot atOpen;
  std::function<void(CDialog&)> onOpen;
};

TEST_F(ProgressSaveRoadTest, EverySaveOpensSavingAndShowsItsOwnCompletion) {
  for (int save = 1; save <= 2; ++save) {
    SCOPED_TRACE(save);
    SaveRoad::Script script = Pages(3, 5);  // a range that does not start at 1
    Snapshot beforeLastPage, beforeOk;
    auto download = script.download;
    script.download = [&, download](int page) {
      if (page == 5) SendToUi([&] { beforeLastPage = Take(road.m_progressDlg); });
      return download(page);
    };
    script.finished = [&] {
      Then([&](CDialog& d) {
        beforeOk = Take(d);
        d.InputEnter();
      });
    };
    EXPECT_TRUE(Run(script));
    ExpectSaving(atOpen, 0);
    ExpectSaving(beforeLastPage, 90 * 4 / 5);  // page over last page
    ExpectCompleted(beforeOk);
    EXPECT_EQ(road.downloaded, 3);
    EXPECT_EQ(road.cancels, 0);
    EXPECT_TRUE(ui.MessageBoxes().empty());
  }
}

TEST_F(ProgressSaveRoadTest, FailureShowsItsBoxClosesAndLeavesTheNextSaveAlone) {
  struct Case {
    const char* name;
    int failingPage;  // 0: every page comes
    bool converts;
    const char16_t* text;
    const char16_t* caption;
  } cases[] = {
      {"download", 2, true, u"Unable to download the file.", u"Communication"},
      {"conversion", 0, false, u"Failed to save the file.", u"Save"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SaveRoad::Script script = Pages(1, 3);
    auto download = script.download;
    script.download = [&, download](int page) { return download(page) && page != c.failingPage; };
    script.convert = [&] { return c.converts; };
    const std::size_t boxes = ui.MessageBoxes().size();
    EXPECT_FALSE(Run(script));
    EXPECT_EQ(road.lastResult, IDCANCEL);
    ASSERT_EQ(ui.MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(ui.MessageBoxes().back().text, c.text);
    EXPECT_EQ(ui.MessageBoxes().back().caption, c.caption);
    EXPECT_EQ(ui.MessageBoxes().back().ownerWindow, &road.m_progressDlg);
    EXPECT_EQ(road.m_progressDlg.m_strStatus, u"Failed to save the file.");

    // The failed save's final report does not reach the next one.
    SaveRoad::Script next = Pages(1, 1);
    next.finished = [&] { Then([](CDialog& d) { d.InputClick(IDC_PROGRESS_OK); }); };
    EXPECT_TRUE(Run(next));
    ExpectSaving(atOpen, 0);
  }
}

// However the user cancels, the worker stops after its page (or after the
// conversion it is in) and its final report closes the dialog, with no
// failure and no completion shown.
TEST_F(ProgressSaveRoadTest, CancelEndsTheDialogWithTheWorkersFinalReport) {
  enum How { kButton, kEscape };
  struct Case {
    const char* name;
    How how;
    int page;          // the download during which the user cancels; 0: the conversion
    bool pageArrives;  // that page's download succeeds all the same
    int downloaded;
  } cases[] = {
      {"button during a download", kButton, 2, true, 2},
      {"cancel key during a download", kEscape, 2, true, 2},
      {"button, then the download fails", kButton, 2, false, 1},
      {"button during the conversion", kButton, 0, true, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cancel = [&] {
      SendToUi([&] {
        CDialog& d = road.m_progressDlg;
        if (c.how == kButton) {
          d.InputClick(IDC_PROGRESS_CANCEL);
        } else {
          d.InputEscape();
        }
      });
    };
    SaveRoad::Script script = Pages(1, 3);
    auto download = script.download;
    script.download = [&, download, cancel](int page) {
      const bool arrived = download(page);
      if (page != c.page) return arrived;
      cancel();
      return c.pageArrives;
    };
    script.convert = [&, cancel] {
      if (c.page == 0) cancel();
      return true;
    };
    const int cancelsBefore = road.cancels;
    const std::size_t boxes = ui.MessageBoxes().size();
    EXPECT_FALSE(Run(script));
    EXPECT_EQ(road.lastResult, IDCANCEL);
    EXPECT_EQ(road.cancels, cancelsBefore + 1);
    EXPECT_EQ(road.downloaded, c.downloaded);
    EXPECT_EQ(ui.MessageBoxes().size(), boxes);
    EXPECT_EQ(road.m_progressDlg.m_strStatus, u"Now Saving Document(s)");
  }
}

}  // namespace
}  // namespace tallow::app::testing
