// Messages of any number reach a dialog, sent or posted, from the UI thread
// or a worker; the minimised window's icon background is erased.
#include <atomic>
#include <thread>

#include "message_dlg.h"
#include "platform/ui/ui_thread.h"
#include "ui_fixture.h"

namespace tallow::ui::testing {
namespace {

TEST_F(UiTest, DialogTakesAnyMessageThroughItsMapOrItsWindowProc) {
  MessageDlg dialog(res::IDD_PROGRESS);
  ASSERT_TRUE(dialog.Create());
  const auto ui_thread = std::this_thread::get_id();
  struct Case {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT answer;
    bool seen;  // by the map's handler or the WindowProc override
  };
  const Case cases[] = {
      {MessageDlg::kMapped, 40, 2, 42, true},
      {MessageDlg::kOverridden, 7, 0, -7, true},
      {MessageDlg::kUnknown, 1, 1, 0, false},  // dropped quietly
      {WM_QUERYDRAGICON, 0, 0, MessageDlg::kIcon, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    for (bool fromWorker : {false, true}) {
      dialog.seen.clear();
      LRESULT answer = -1;
      if (fromWorker) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
          answer = dialog.SendMessageW(c.message, c.wParam, c.lParam);
          done = true;
        });
        while (!done) ui.RunPosted();  // the sent call waits for the UI thread
        worker.join();
      } else {
        answer = dialog.SendMessageW(c.message, c.wParam, c.lParam);
      }
      EXPECT_EQ(answer, c.answer);
      const std::vector<MessageDlg::Seen> expected =
          c.seen ? std::vector<MessageDlg::Seen>{{c.message, c.wParam, ui_thread}}
                 : std::vector<MessageDlg::Seen>{};
      EXPECT_EQ(dialog.seen, expected);

      // Posted, it waits for the queue, from either thread.
      dialog.seen.clear();
      if (fromWorker) {
        std::thread([&] { EXPECT_TRUE(dialog.PostMessageW(c.message, c.wParam, c.lParam)); }).join();
      } else {
        EXPECT_TRUE(dialog.PostMessageW(c.message, c.wParam, c.lParam));
      }
      EXPECT_TRUE(dialog.seen.empty());
      ui.RunPosted();
      EXPECT_EQ(dialog.seen, expected);
    }
  }
  dialog.DestroyWindow();
  EXPECT_FALSE(dialog.PostMessageW(MessageDlg::kMapped, 1, 1));
  EXPECT_EQ(dialog.SendMessageW(MessageDlg::kMapped, 1, 1), 0);
  EXPECT_TRUE(dialog.seen.empty());
}

TEST_F(UiTest, MinimisedWindowErasesItsIconBackgroundBeforeEachIconItPaints) {
  MessageDlg dialog(res::IDD_PROGRESS);
  ASSERT_TRUE(dialog.Create());
  ui.RunPosted();
  dialog.ShowWindow(SW_MINIMIZE);
  ASSERT_TRUE(dialog.IsIconic());
  for (int paint = 1; paint <= 3; ++paint) {
    SCOPED_TRACE(paint);
    dialog.Invalidate(FALSE);  // nothing erased but by the icon's own message
    ui.RunPosted();
    ASSERT_EQ(dialog.erasures.size(), static_cast<std::size_t>(paint));
    EXPECT_NE(dialog.erasures.back(), nullptr);
    ASSERT_EQ(dialog.GetSurface().Ops().size(), 1u);
    const DrawOp& icon = dialog.GetSurface().Ops()[0];
    EXPECT_EQ(icon.kind, DrawOp::Kind::kIcon);
    EXPECT_EQ(icon.icon, MessageDlg::kIcon);
  }
}

}  // namespace
}  // namespace tallow::ui::testing
