#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "message_dlg.h"
#include "platform/ui/ui_thread.h"
#include "platform/ui/worker_thread.h"
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
  EXPECT_EQ(ui.MessageBoxes()[0].ownerWindow, &progress);
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

// A handle names one window: a message posted to it after that window is gone
// reaches no later window made at the same address, be it the same object
// made again (a dialog kept as a member) or a new one built in the same
// storage (a dialog on the stack).
TEST_F(UiTest, MessagePostedToAWindowThatIsGoneReachesNoLaterWindowAtItsAddress) {
  for (const bool sameObject : {true, false}) {
    SCOPED_TRACE(sameObject ? "the same object made again" : "a new object in the same storage");
    alignas(MessageDlg) std::byte storage[sizeof(MessageDlg)];
    auto* first = new (storage) MessageDlg(res::IDD_PROGRESS);
    ASSERT_TRUE(first->Create());
    ui.RunPosted();
    const HWND gone = first->GetSafeHwnd();
    EXPECT_TRUE(PostMessageW(gone, MessageDlg::kOverridden, 1));
    EXPECT_TRUE(first->PostMessageW(MessageDlg::kOverridden, 2));
    MessageDlg* later = first;
    if (sameObject) {
      first->DestroyWindow();
    } else {
      first->~MessageDlg();
      later = new (storage) MessageDlg(res::IDD_PROGRESS);
    }
    ASSERT_TRUE(later->Create());
    ASSERT_EQ(static_cast<void*>(later), static_cast<void*>(storage));
    EXPECT_NE(later->GetSafeHwnd(), gone);
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_EQ(CDialog::FromHandle(gone), nullptr);
    EXPECT_FALSE(PostMessageW(gone, MessageDlg::kOverridden, 3));
    ui.RunPosted();
    EXPECT_TRUE(later->seen.empty());
    // Its own handle reaches it.
    EXPECT_TRUE(PostMessageW(later->GetSafeHwnd(), MessageDlg::kOverridden, 4));
    ui.RunPosted();
    EXPECT_EQ(later->seen, (std::vector<MessageDlg::Seen>{
                               {MessageDlg::kOverridden, 4, std::this_thread::get_id()}}));
    later->~MessageDlg();
  }
}

// What a sent call throws goes back to the thread that sent it, which would
// otherwise wait for ever; the UI thread serves on.
TEST_F(UiTest, SentCallThatThrowsHandsItsExceptionToTheSender) {
  std::atomic<bool> finished{false};
  std::string caught;          // the worker's until |finished|
  std::optional<int> answer;  // likewise
  std::thread worker([&] {
    try {
      SendToUi([] { throw std::runtime_error("sent"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    try {
      CallOnUi([]() -> int { throw std::logic_error("called"); });
    } catch (const std::logic_error& e) {
      caught += std::string(" ") + e.what();
    }
    answer = CallOnUi([] { return 42; });
    finished = true;
  });
  // A generous bound instead of a hang when the sender is left waiting.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool reachedUiThread = false;
  while (!finished && std::chrono::steady_clock::now() < deadline) {
    try {
      if (!RunOneSent()) WaitForSent(std::chrono::milliseconds(10));
    } catch (...) {
      reachedUiThread = true;
    }
  }
  EXPECT_FALSE(reachedUiThread);
  if (!finished) {
    ADD_FAILURE() << "the sender still waits for its call";
    worker.detach();  // it would wait for ever
    return;
  }
  worker.join();
  EXPECT_EQ(caught, "sent called");
  EXPECT_EQ(answer, 42);
}

// Once the dialog is handed over, the test gets each idle moment of its loop:
// after the calls a worker sent have run, before the loop waits again.
TEST_F(UiTest, IdleModalLoopIsHandedToTheTestAfterTheCallsThatCame) {
  std::thread worker;
  std::vector<int> seenAtIdle;
  ui.OnDialog([&](CDialog& d) {
    worker = std::thread([&d] {
      for (int i = 1; i <= 3; ++i) {
        SendToUi([&] { d.GetDlgItem(5001)->SetPos(i); });
      }
    });
  });
  ui.OnIdle([&](CDialog& d) {
    seenAtIdle.push_back(d.GetDlgItem(5001)->GetPos());
    if (d.GetDlgItem(5001)->GetPos() == 3) d.EndDialog(IDOK);
  });
  CDialog progress(res::IDD_PROGRESS);
  EXPECT_EQ(progress.DoModal(), IDOK);
  worker.join();
  ASSERT_FALSE(seenAtIdle.empty());
  EXPECT_EQ(seenAtIdle.back(), 3);
  EXPECT_TRUE(std::is_sorted(seenAtIdle.begin(), seenAtIdle.end()));
}

TEST_F(UiTest, ModalLoopThatNobodyEndsGivesUpInsteadOfHanging) {
  ui.SetStallTimeout(std::chrono::milliseconds(10));
  SampleDlg dialog;
  EXPECT_EQ(dialog.DoModal(), kModalFailed);
  EXPECT_TRUE(ui.Stalled());
}

TEST_F(UiTest, WorkerRunsItsProcedureWithItsParameterAndIsJoinedWithItsResult) {
  struct Run {
    int param = 0;
    std::thread::id thread;
  };
  const auto proc = [](LPVOID p) -> UINT {
    auto* run = static_cast<Run*>(p);
    run->thread = std::this_thread::get_id();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return static_cast<UINT>(run->param * 2);
  };
  Run run{21, {}};
  std::unique_ptr<CWinThread> worker = AfxBeginThread(proc, &run);
  ASSERT_TRUE(worker);
  EXPECT_EQ(worker->Join(), 42u);
  EXPECT_TRUE(worker->IsFinished());
  EXPECT_NE(run.thread, std::this_thread::get_id());
  EXPECT_EQ(worker->Join(), 42u);  // joined once, answered again

  Run dropped{1, {}};
  AfxBeginThread(proc, &dropped).reset();  // destroyed: joined first
  EXPECT_NE(dropped.thread, std::thread::id());
  EXPECT_EQ(AfxBeginThread(nullptr, &run), nullptr);
}

// A save worker waits in calls that the UI thread must run: the join serves
// them, and leaves what the worker posted for the loop, in its order.
TEST_F(UiTest, JoinOnTheUiThreadServesTheWorkersSentCallsAndBoxesButNotItsPosts) {
  const auto uiThread = std::this_thread::get_id();
  CDialog progress(res::IDD_PROGRESS);
  ASSERT_TRUE(progress.Create());
  ui.RunPosted();
  std::atomic<int> boxAnswer{0};
  std::thread::id sentRanOn;
  ui.OnMessageBox([&](const MessageBoxRecord& box) {
    EXPECT_EQ(box.owner, progress.GetSafeHwnd());
    return IDCANCEL;
  });
  struct Case {
    const char* what;
    std::function<void()> work;  // on the worker, between its two posts
  };
  const Case cases[] = {
      {"a sent call", [&] { SendToUi([&] { sentRanOn = std::this_thread::get_id(); }); }},
      {"a window call", [&] { progress.SetDlgItemText(5101, u"Saving page 3"); }},
      {"a message box", [&] {
         boxAnswer = MessageBoxW(progress.GetSafeHwnd(), u"Unable to download the file.",
                                 u"Communication", MB_ICONERROR);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    struct Context {
      const Case* c;
      std::vector<int> posted;  // UI thread only
    } context{&c, {}};
    const auto proc = [](LPVOID p) -> UINT {
      auto* ctx = static_cast<Context*>(p);
      PostToUi([ctx] { ctx->posted.push_back(1); });
      ctx->c->work();
      PostToUi([ctx] { ctx->posted.push_back(2); });
      return 0;
    };
    std::unique_ptr<CWinThread> worker = AfxBeginThread(proc, &context);
    ASSERT_TRUE(worker);
    EXPECT_EQ(worker->Join(), 0u);
    EXPECT_TRUE(context.posted.empty());  // nothing else ran inside the join
    EXPECT_EQ(ui.RunPosted(), 2);
    EXPECT_EQ(context.posted, (std::vector<int>{1, 2}));
  }
  EXPECT_EQ(sentRanOn, uiThread);
  EXPECT_EQ(progress.GetDlgItemText(5101), u"Saving page 3");
  EXPECT_EQ(boxAnswer, IDCANCEL);
  EXPECT_EQ(ui.MessageBoxes().size(), 1u);
}

TEST_F(UiTest, WaitCursorIsShownThroughTheBackEnd) {
  {
    WaitCursorScope wait;
    EXPECT_EQ(ui.Cursor(), LoadCursorW(IDC_WAIT));
  }
  EXPECT_NE(ui.Cursor(), LoadCursorW(IDC_WAIT));
}

// An operation of several commands, each under its own scope inside the
// operation's, shows the wait cursor once: no flicker between the commands.
TEST_F(UiTest, NestedWaitCursorScopesShowTheCursorOnce) {
  SetCursor(IDC_ARROW);
  const std::size_t before = ui.CursorsShown().size();
  {
    WaitCursorScope operation;
    for (int command = 0; command < 2; ++command) WaitCursorScope each;
  }
  const std::vector<HCURSOR> shown = ui.CursorsShown();
  EXPECT_EQ(std::vector<HCURSOR>(shown.begin() + before, shown.end()),
            (std::vector<HCURSOR>{IDC_WAIT, IDC_ARROW}));
}

}  // namespace
}  // namespace tallow::ui::testing
