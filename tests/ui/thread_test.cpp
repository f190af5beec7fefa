#include <atomic>
#include <chrono>
#include <thread>

#include "platform/ui/ui_thread.h"
#include "ui_fixture.h"

namespace tallow::ui::testing {
namespace {

TEST_F(UiTest, PostedCallFromAWorkerRunsOnTheUiThreadWhenTheQueueIsRun) {
  const auto uiThread = std::this_thread::get_id();
  std::thread::id ranOn;
  std::thread worker([&] {
    EXPECT_FALSE(IsUiThread());
    PostToUi([&] { ranOn = std::this_thread::get_id(); });
  });
  worker.join();
  EXPECT_EQ(ranOn, std::thread::id());  // posted calls wait for the queue
  EXPECT_EQ(ui.RunPosted(), 1);
  EXPECT_EQ(ranOn, uiThread);
}

TEST_F(UiTest, WorkerDrivesAModalDialogBySentCallsAndEndsItByAPost) {
  const auto uiThread = std::this_thread::get_id();
  std::thread worker;
  std::atomic<int> posAfterSend{-1};
  std::atomic<bool> sentRanOnUi{false};
  std::atomic<int> boxAnswer{-1};
  ui.OnMessageBox([&](const MessageBoxRecord& box) {
    EXPECT_EQ(std::this_thread::get_id(), uiThread);
    EXPECT_EQ(box.text, u"Unable to download the file.");
    return IDCANCEL;
  });
  CDialog progress(res::IDD_PROGRESS);
  ui.OnDialog([&](CDialog& d) {
    worker = std::thread([&] {
      Control* bar = d.GetDlgItem(5001);
      bar->SetPos(45);  // a sent call: done once it returns
      posAfterSend = bar->GetPos();
      SendToUi([&] { sentRanOnUi = std::this_thread::get_id() == uiThread; });
      boxAnswer = MessageBoxW(d.GetSafeHwnd(), u"Unable to download the file.", u"Communication",
                              MB_ICONERROR);
      d.SetDlgItemText(5101, u"Failed to save the file.");
      d.PostMessageW(WM_CLOSE);
    });
  });
  EXPECT_EQ(progress.DoModal(), IDCANCEL);
  worker.join();
  EXPECT_EQ(posAfterSend, 45);
  EXPECT_TRUE(sentRanOnUi);
  EXPECT_EQ(boxAnswer, IDCANCEL);
  ASSERT_EQ(ui.MessageBoxes().size(), 1u);
  EXPECT_EQ(ui.MessageBoxes()[0].owner, static_cast<HWND>(&progress));
  EXPECT_EQ(ui.MessageBoxes()[0].type, MB_ICONERROR);
}

TEST_F(UiTest, SentCallBlocksTheWorkerUntilTheUiThreadHasRunIt) {
  std::atomic<bool> started{false};
  std::atomic<bool> returned{false};
  bool ran = false;
  std::thread worker([&] {
    started = true;
    SendToUi([&] { ran = true; });
    returned = true;
  });
  while (!started) std::this_thread::yield();
  // The UI thread has not pumped yet, so the worker must still be waiting.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(returned);
  while (!returned) {
    ui.RunPosted();
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_TRUE(ran);
}

TEST_F(UiTest, MessagePostedToAWindowThatIsGoneIsDropped) {
  ui.OnDialog([](CDialog& d) {
    d.PostMessageW(WM_CLOSE);  // ends this one
  });
  SampleDlg first;
  EXPECT_EQ(first.DoModal(), IDCANCEL);
  {
    SampleDlg modeless;
    ASSERT_TRUE(modeless.Create());
    modeless.PostMessageW(WM_CLOSE);
  }  // destroyed before the queue runs
  EXPECT_EQ(ui.RunPosted(), 1);  // ran, and found no window
}

TEST_F(UiTest, ModalLoopThatNobodyEndsGivesUpInsteadOfHanging) {
  ui.SetStallTimeout(std::chrono::milliseconds(10));
  SampleDlg dialog;
  EXPECT_EQ(dialog.DoModal(), kModalFailed);
  EXPECT_TRUE(ui.Stalled());
}

TEST_F(UiTest, WaitCursorIsShownThroughTheBackEnd) {
  {
    WaitCursorScope wait;
    EXPECT_EQ(ui.Cursor(), LoadCursorW(IDC_WAIT));
  }
  EXPECT_NE(ui.Cursor(), LoadCursorW(IDC_WAIT));
}

}  // namespace
}  // namespace tallow::ui::testing
