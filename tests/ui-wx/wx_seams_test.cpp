// The window layer's seams on the screen: messages of the program's own
// numbers, the main window's size after DrawMenuBar, modeless windows seen
// while the UI thread is busy, a worker joined while it waits for the UI
// thread. What the user sees is asked of the X server itself.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/dialogs/progress_dlg.h"
#include "core/texts.h"
#include "platform/ui/ui_thread.h"
#include "platform/ui/worker_thread.h"
#include "res/dialog_templates.h"
#include "tests/ui-wx/wx_fixture.h"
#include "tests/ui-wx/x_screen.h"
#include "tests/ui/hidden_click_dlg.h"
#include "tests/ui/message_dlg.h"

// After the project's headers: wx defines TRUE and FALSE as macros.
#include <wx/image.h>

namespace tallow::ui::testing {
namespace {

// Messages of any number, sent and posted by a worker, reach the dialog
// through the wx loop; minimised, it erases its icon's background before
// each icon it paints.
TEST_F(WxDialogTest, DialogTakesAWorkersMessagesAndErasesItsIconBackground) {
  MessageDlg dialog(res::IDD_PROGRESS);
  const auto uiThread = std::this_thread::get_id();
  wx_->OnDialogShown([&](CDialog& d) {
    std::atomic<LRESULT> mapped{-1};
    std::atomic<LRESULT> overridden{-1};
    std::atomic<bool> done{false};
    std::thread worker([&] {
      mapped = d.SendMessageW(MessageDlg::kMapped, 40, 2);
      overridden = d.SendMessageW(MessageDlg::kOverridden, 7, 0);
      d.PostMessageW(MessageDlg::kMapped, 1, 1);
      done = true;
    });
    while (!done) wx_->Pump(std::chrono::milliseconds(20));
    worker.join();
    wx_->Pump(std::chrono::milliseconds(50));
    EXPECT_EQ(mapped, 42);
    EXPECT_EQ(overridden, -7);
    const std::vector<MessageDlg::Seen> expected = {{MessageDlg::kMapped, 40, uiThread},
                                                    {MessageDlg::kOverridden, 7, uiThread},
                                                    {MessageDlg::kMapped, 1, uiThread}};
    EXPECT_EQ(dialog.seen, expected);

    d.ShowWindow(SW_MINIMIZE);
    for (int paint = 1; paint <= 2; ++paint) {
      d.Invalidate(FALSE);
      wx_->Pump(std::chrono::milliseconds(100));
      ASSERT_TRUE(d.IsIconic());
      EXPECT_EQ(dialog.erasures.size(), static_cast<std::size_t>(paint));
      ASSERT_EQ(d.GetSurface().Ops().size(), 1u);
      EXPECT_EQ(d.GetSurface().Ops()[0].icon, MessageDlg::kIcon);
    }
    d.ShowWindow(SW_RESTORE);
    d.InputEscape();
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// A shown main window keeps its size on the screen when its menu bar is
// redrawn, also right after the layer gave it another size, as a mode
// switch does.
TEST_F(WxDialogTest, DrawMenuBarKeepsTheWindowsSizeOnTheScreen) {
  const std::string title = "Menu bar redrawn";
  CDialog dialog(res::IDD_MAIN);
  wx_->OnDialogShown([&](CDialog& d) {
    d.SetWindowText(FromAnsi(title));
    wx_->Pump(std::chrono::milliseconds(100));
    const auto onScreen = [&] {
      const std::optional<ScreenWindow> w = FindScreenWindow(title);
      return w && w->viewable ? Size{w->rect.cx, w->rect.cy} : Size{};
    };
    // Under Xvfb there is no frame: the client area and the menu bar.
    const auto expected = [&] {
      const Rect client = d.GetClientRect();
      return Size{client.cx, client.cy + wx_->MenuBarHeight(d)};
    };
    ASSERT_EQ(onScreen(), expected());
    struct Case {
      const char* what;
      Size size;  // given by the layer first; empty: kept
    };
    const Case cases[] = {
        {"redrawn", {}},
        {"advanced mode", {729, 445}},
        {"simple mode", {336, 287}},
        {"redrawn again", {}},
    };
    CMenu* menu = d.GetMenu();
    ASSERT_NE(menu, nullptr);
    bool simple = false;
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      if (c.size.cx > 0) {
        const Rect r = d.GetWindowRect();
        d.MoveWindow(r.x, r.y, c.size.cx, c.size.cy);
        simple = !simple;
      }
      // The mode switch's menu changes: the check and the gray move.
      menu->CheckMenuItem(simple ? 30102 : 30103, MF_BYCOMMAND | MF_UNCHECKED);
      menu->CheckMenuItem(simple ? 30103 : 30102, MF_BYCOMMAND | MF_CHECKED);
      menu->EnableMenuItem(simple ? 30103 : 30102, MF_BYCOMMAND | MF_GRAYED);
      menu->EnableMenuItem(simple ? 30102 : 30103, MF_BYCOMMAND | MF_ENABLED);
      d.DrawMenuBar();
      wx_->Pump(std::chrono::milliseconds(200));
      if (c.size.cx > 0) {
        EXPECT_EQ(Size(d.GetWindowRect().cx, d.GetWindowRect().cy), c.size);
      }
      EXPECT_EQ(onScreen(), expected());
    }
    d.InputEscape();
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// What the X server shows of the window titled |title| after a while, asked
// over a connection of its own, so that it answers on any thread.
struct SeenWhileBusy {
  std::optional<ScreenWindow> window;
  std::optional<ScreenPixels> pixels;
};

SeenWhileBusy LookAfterAWhile(const std::string& title) {
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  SeenWhileBusy seen;
  seen.window = FindScreenWindow(title);
  if (seen.window && seen.window->viewable) seen.pixels = GrabScreen(seen.window->rect);
  return seen;
}

// The same, asked from another thread while this one, the UI thread, does
// nothing else, as when the program lists boxes over the network.
SeenWhileBusy LookWhileBusy(const std::string& title) {
  SeenWhileBusy seen;
  std::thread look([&] { seen = LookAfterAWhile(title); });
  look.join();  // busy: no event is handled, nothing is painted
  return seen;
}

wxImage ImageOf(const ScreenPixels& pixels) {
  wxImage image(pixels.width, pixels.height);
  std::copy(pixels.rgb.begin(), pixels.rgb.end(), image.GetData());
  return image;
}

// The share of pixels that differ visibly between two pictures.
double Difference(const wxImage& a, const wxImage& b) {
  if (a.GetSize() != b.GetSize() || a.GetWidth() == 0) return 1.0;
  const unsigned char* p = a.GetData();
  const unsigned char* q = b.GetData();
  const std::size_t count = static_cast<std::size_t>(a.GetWidth()) * a.GetHeight();
  std::size_t differ = 0;
  for (std::size_t i = 0; i < count * 3; i += 3) {
    if (std::abs(p[i] - q[i]) > 32 || std::abs(p[i + 1] - q[i + 1]) > 32 ||
        std::abs(p[i + 2] - q[i + 2]) > 32) {
      ++differ;
    }
  }
  return static_cast<double>(differ) / static_cast<double>(count);
}

// The window was on the screen where the layer put it, drawn as wx draws it
// once the loop has run: nothing left unpainted. Its picture as seen goes to
// |shot| unless that is empty.
void ExpectSeenPainted(WxDriver& wx, CDialog& window, const SeenWhileBusy& seen,
                       const std::filesystem::path& shot) {
  ASSERT_TRUE(seen.window) << "not on the screen";
  EXPECT_TRUE(seen.window->viewable);
  ASSERT_TRUE(seen.pixels);
  // Under Xvfb there is no frame: the window is its client area.
  const Rect at = window.GetWindowRect();
  const Rect client = window.GetClientRect();
  EXPECT_EQ(seen.window->rect, (Rect{at.x, at.y, client.cx, client.cy}));
  const wxImage onScreen = ImageOf(*seen.pixels);
  if (!shot.empty()) {
    EXPECT_TRUE(onScreen.SaveFile(shot.string(), wxBITMAP_TYPE_PNG));
  }
  const test::TempDir scratch;
  const std::string drawnPath = scratch.File("drawn.png");
  ASSERT_TRUE(wx.SaveScreenshot(window, drawnPath));
  wxImage drawn;
  ASSERT_TRUE(drawn.LoadFile(drawnPath, wxBITMAP_TYPE_PNG));
  EXPECT_LT(Difference(onScreen, drawn), 0.01);
}

// The start-up window and the "Now Preparing Simple Mode" window are on
// the screen, painted, as soon as they are made and while the UI thread then
// works without returning to a loop; a hidden dialog that posts itself a
// click lets the start-up window be seen while the click's handler works.
TEST_F(WxDialogTest, ModelessWindowsAreSeenWhileTheUiThreadIsBusy) {
  LoadMessageTable(ProgressTextTable());
  LoadMessageTable(MessageTable());
  const std::string title = "Progress";
  {
    // Showing runs nothing of the program: a posted call waits for a loop.
    bool postedRan = false;
    PostToUi([&] { postedRan = true; });
    app::CProgressDlg starting(app::kProgressStarting, nullptr);
    EXPECT_FALSE(postedRan);
    const SeenWhileBusy created = LookWhileBusy(title);
    SeenWhileBusy clicked;
    std::optional<ScreenWindow> selectSeen;
    HiddenClickDlg select(true, [&] {
      clicked = LookWhileBusy(title);
      selectSeen = FindScreenWindow(ToAnsi(select.GetWindowText()));
    });
    EXPECT_EQ(select.DoModal(), IDOK);
    EXPECT_TRUE(postedRan);
    EXPECT_FALSE(selectSeen && selectSeen->viewable);  // never shown
    wx_->Pump(std::chrono::milliseconds(100));
    {
      SCOPED_TRACE("created");
      ExpectSeenPainted(*wx_, starting, created, ShotPath("progress-starting.png"));
    }
    {
      SCOPED_TRACE("while a hidden dialog's click works");
      ExpectSeenPainted(*wx_, starting, clicked, ShotPath("progress-starting-click.png"));
    }
  }

  CDialog main(res::IDD_MAIN);
  wx_->OnDialogShown([&](CDialog& d) {
    {
      app::CProgressDlg preparing(app::kProgressPreparingSimple, &d);
      preparing.SetForegroundWindow();
      const SeenWhileBusy seen = LookWhileBusy(title);
      wx_->Pump(std::chrono::milliseconds(100));
      ExpectSeenPainted(*wx_, preparing, seen, ShotPath("progress-preparing.png"));
    }
    d.InputEscape();
  });
  EXPECT_EQ(main.DoModal(), IDCANCEL);
}

// The save's completion reaches the screen in one step: every picture of
// the progress window taken while it completes shows the saving state or the
// completed one ("Saved successfully" with OK the enabled default button),
// never the new line beside buttons of the old state.
TEST_F(WxDialogTest, TheSaveCompletionReachesTheScreenInOneStep) {
  LoadMessageTable(ProgressTextTable());
  LoadMessageTable(MessageTable());
  const std::filesystem::path inBetweenShot = ShotPath("progress-state-in-between.png");
  app::CProgressDlg progress(app::kProgressSave, nullptr);
  progress.m_nTotal = 100;
  std::vector<wxImage> during;
  std::optional<wxImage> saving, completed;
  wx_->OnDialogShown([&](CDialog& d) {
    const auto grab = [&]() -> std::optional<wxImage> {
      const std::optional<ScreenWindow> w = FindScreenWindow("Progress");
      if (!w || !w->viewable) return std::nullopt;
      const std::optional<ScreenPixels> pixels = GrabScreen(w->rect);
      if (!pixels) return std::nullopt;
      return ImageOf(*pixels);
    };
    progress.UpdateSaveProgress(3, 5);
    wx_->Pump(std::chrono::milliseconds(400));
    saving = grab();
    std::atomic<bool> stop{false};
    std::thread look([&] {
      while (!stop) {
        if (std::optional<wxImage> image = grab()) during.push_back(*image);
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    progress.UpdateSaveProgress(6, 5);  // the worker's final report: completion
    wx_->Pump(std::chrono::milliseconds(600));
    stop = true;
    look.join();
    completed = grab();
    d.EndDialog(IDOK);
  });
  EXPECT_EQ(progress.DoModal(), IDOK);
  ASSERT_TRUE(saving && completed);
  EXPECT_TRUE(saving->SaveFile(ShotPath("progress-state-saving.png").string(), wxBITMAP_TYPE_PNG));
  EXPECT_TRUE(completed->SaveFile(ShotPath("progress-state-completed.png").string(), wxBITMAP_TYPE_PNG));
  EXPECT_GT(Difference(*saving, *completed), 0.001);
  ASSERT_FALSE(during.empty());
  int inBetween = 0;
  for (const wxImage& image : during) {
    if (Difference(image, *saving) > 0.0005 && Difference(image, *completed) > 0.0005) {
      if (inBetween++ == 0) {
        EXPECT_TRUE(image.SaveFile(inBetweenShot.string(), wxBITMAP_TYPE_PNG));
      }
    }
  }
  EXPECT_EQ(inBetween, 0) << "of " << during.size() << " pictures";
}

// A worker that changes a window, works on, and then waits in a message box
// it shows is joined on the UI thread: the join serves both, the box is
// answered by the keyboard, and while the worker works the window shows the
// change on the screen.
TEST_F(WxDialogTest, JoiningAWorkerServesItsWindowCallsAndItsMessageBox) {
  CDialog progress(res::IDD_PROGRESS);
  ASSERT_TRUE(progress.Create());
  progress.SetWindowText(u"Joining");
  struct Context {
    CDialog* window;
    std::atomic<bool> changed{false};
    int answer = 0;
  } context{&progress};
  const auto proc = [](LPVOID p) -> UINT {
    auto* ctx = static_cast<Context*>(p);
    ctx->window->SetDlgItemText(5101, u"Saving page 3 of 5");
    ctx->changed = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(800));  // the page downloads
    ctx->answer = MessageBoxW(ctx->window->GetSafeHwnd(), u"Unable to download the file.",
                              u"Communication", MB_ICONERROR);
    return 7;
  };
  SeenWhileBusy seen;
  std::thread look([&] {
    while (!context.changed) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    seen = LookAfterAWhile("Joining");
  });
  std::unique_ptr<CWinThread> worker = AfxBeginThread(proc, &context);
  ASSERT_TRUE(worker);
  {
    KeysLater keys({WXK_RETURN});
    EXPECT_EQ(worker->Join(), 7u);
  }
  look.join();
  EXPECT_EQ(context.answer, IDOK);
  EXPECT_EQ(progress.GetDlgItemText(5101), u"Saving page 3 of 5");
  wx_->Pump(std::chrono::milliseconds(100));
  ExpectSeenPainted(*wx_, progress, seen, {});
  progress.DestroyWindow();
}

}  // namespace
}  // namespace tallow::ui::testing
