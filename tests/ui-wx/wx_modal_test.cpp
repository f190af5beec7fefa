// A modal window keeps the keyboard while it runs: a real click (XTEST) on
// the window it belongs to, disabled meanwhile, leaves the keyboard's focus
// in the modal window, and keys that reach the owner all the same (its
// focus put there by someone else) go to the modal window, so that Enter
// still presses its default button. The window manager is told which
// windows are modal and over which. Built twice: under a window manager of
// its own (as on a desktop) and on a bare X server.
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/dialogs/progress_dlg.h"
#include "platform/ui/file_dialog.h"
#include "res/resource_ids.h"
#include "tests/ui-wx/wx_fixture.h"
#include "tests/ui-wx/x_screen.h"

namespace tallow::ui::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kMainTitle = "Tallowmere";
constexpr const char* kBoxCaption = "Modal box";

bool Inside(const Rect& r, Point p) {
  return p.x >= r.x && p.x < r.x + r.cx && p.y >= r.y && p.y < r.y + r.cy;
}

// A point of the window titled |owner| that the window titled |over| (with
// its frame) leaves free: near a corner of the owner, or the middle of one
// of its sides.
std::optional<Point> SpotOutside(const std::string& owner, const std::string& over) {
  const std::optional<ScreenWindow> o = FindScreenWindow(owner);
  const std::optional<ScreenWindow> w = FindScreenWindow(over);
  if (!o || !w) return std::nullopt;
  const Rect c = o->client;
  constexpr int kInset = 8;
  const Point spots[] = {
      {c.x + kInset, c.y + c.cy - kInset},   {c.x + c.cx - kInset, c.y + c.cy - kInset},
      {c.x + kInset, c.y + c.cy / 2},        {c.x + c.cx - kInset, c.y + c.cy / 2},
      {c.x + c.cx / 2, c.y + c.cy - kInset}, {c.x + kInset, c.y + kInset},
  };
  for (const Point& p : spots) {
    if (!Inside(w->rect, p)) return p;
  }
  return std::nullopt;
}

// How the user's input comes to the owner of a running modal window.
enum class Reach {
  kClick,
  // As a window manager that keeps no focus in modal windows does, or a
  // bare X server whose focus follows the pointer.
  kFocus,
};
struct ReachCase {
  const char* name;
  Reach how;
};
constexpr ReachCase kReaches[] = {
    {"a click on the owner", Reach::kClick},
    {"the keyboard's focus put on the owner", Reach::kFocus},
};

void ReachOwner(Reach how, const std::string& owner, const std::string& modal) {
  if (how == Reach::kFocus) return FocusScreenWindow(owner);
  const std::optional<Point> spot = SpotOutside(owner, modal);
  ASSERT_TRUE(spot) << "no free spot of " << owner;
  ClickScreen(*spot);
}

// The user's hands while the UI thread sits in a native modal window (a
// message box, a chooser) that runs its own loop: once the window titled
// |title| is on the screen, |act| runs on a thread of its own; should the
// window still stand a while after, its close box ends it. Done() once the
// call that showed it has returned.
class WhileShown {
 public:
  WhileShown(std::string title, std::function<void()> act)
      : hands_([this, title = std::move(title), act = std::move(act)] {
          if (!Wait([&] { return FindScreenWindow(title).value_or(ScreenWindow{}).viewable; })) return;
          act();
          if (!Wait([] { return false; })) CloseScreenWindow(title);
        }) {}
  ~WhileShown() { Done(); }
  WhileShown(const WhileShown&) = delete;
  WhileShown& operator=(const WhileShown&) = delete;

  void Done() {
    done_ = true;
    if (hands_.joinable()) hands_.join();
  }

 private:
  // Until |condition| holds (true) or the call returned or ten seconds
  // passed (false).
  bool Wait(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!done_ && std::chrono::steady_clock::now() < end) {
      if (condition()) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

  std::atomic<bool> done_{false};
  std::thread hands_;
};

class WxModalTest : public WxDialogTest {
 protected:
  // Runs |inner| modally over a main window run modally; |shown| is called
  // on each other dialog once it is on the screen. The inner call's result.
  int OverMain(CDialog& main, const std::function<int()>& inner,
               const std::function<void(CDialog&)>& shown) {
    int result = kNotEnded;
    wx_->OnDialogShown([&](CDialog& d) {
      if (&d != &main) return shown(d);
      SetMainWindow(&main);
      result = inner();
      SetMainWindow(nullptr);
      main.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(main.DoModal(), IDCANCEL);
    return result;
  }

  // Lets the window manager and the toolkit act on the last input.
  void Settle() { wx_->Pump(400ms); }
};

struct OverMainCase {
  const char* name;
  std::string title;
  // Runs the modal window over |main|; its result.
  std::function<int(CDialog& main)> run;
};

// The owner of a dialog run modally over the main window takes the user's
// click or the keyboard's focus: the dialog keeps the keyboard (after a
// click, its focus), and Enter presses its default button.
TEST_F(WxModalTest, TheModalDialogKeepsTheKeyboardWhenItsOwnerIsReached) {
  const OverMainCase cases[] = {
      {"a dialog with a parent", "About",
       [](CDialog& main) {
         CDialog about(res::IDD_ABOUTBOX, &main);
         return about.DoModal();
       }},
      {"a dialog owned by the main window", "About",
       [](CDialog&) {
         CDialog about(res::IDD_ABOUTBOX);
         return about.DoModal();
       }},
      {"the progress dialog of a completed save", "Progress",
       [](CDialog& main) {
         app::CProgressDlg progress(app::kProgressSave, &main);
         progress.UpdateSaveProgress(2, 1);  // "Saved successfully", OK enabled
         return progress.DoModal();
       }},
  };
  for (const ReachCase& reach : kReaches) {
    for (const OverMainCase& c : cases) {
      SCOPED_TRACE(std::string(reach.name) + ", " + c.name);
      CDialog main(res::IDD_MAIN);
      std::string focused;
      std::optional<ModalHints> hints;
      const int result = OverMain(main, [&] { return c.run(main); }, [&](CDialog& d) {
        ReachOwner(reach.how, kMainTitle, c.title);
        Settle();  // the window manager's answer to the click, if any
        focused = FocusedWindowTitle();
        hints = ModalHintsOf(c.title);
        PressKey("Return");
        if (!PumpUntil(*wx_, [&] { return d.IsEnded(); })) d.EndDialog(kNotEnded);
      });
      EXPECT_EQ(result, IDOK);
      if (reach.how == Reach::kClick) {
        EXPECT_EQ(focused, c.title);
      }
      ASSERT_TRUE(hints);
      EXPECT_TRUE(hints->modal);
      EXPECT_EQ(hints->transientFor, kMainTitle);
    }
  }
}

// A message box owned by the progress dialog while that runs modally over
// the main window: with either owner reached, Enter answers the box; then,
// the main window reached again, Enter presses the progress dialog's OK.
TEST_F(WxModalTest, NestedModalWindowsKeepTheKeyboardInTurn) {
  for (const ReachCase& reach : kReaches) {
    SCOPED_TRACE(reach.name);
    CDialog main(res::IDD_MAIN);
    app::CProgressDlg progress(app::kProgressSave, &main);
    progress.UpdateSaveProgress(2, 1);
    std::optional<ModalHints> boxHints;
    int answer = 0;
    const int result = OverMain(main, [&] { return progress.DoModal(); }, [&](CDialog& d) {
      {
        WhileShown hands(kBoxCaption, [&] {
          for (const char* owner : {"Progress", kMainTitle}) {
            ReachOwner(reach.how, owner, kBoxCaption);
            std::this_thread::sleep_for(400ms);  // the window manager's answer, if any
          }
          boxHints = ModalHintsOf(kBoxCaption);
          PressKey("Return");
        });
        answer = d.MessageBox(u"Kept?", u"Modal box", MB_OKCANCEL | MB_ICONINFORMATION);
      }
      Settle();
      ReachOwner(reach.how, kMainTitle, "Progress");
      Settle();
      PressKey("Return");
      if (!PumpUntil(*wx_, [&] { return d.IsEnded(); })) d.EndDialog(kNotEnded);
    });
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(result, IDOK);
    ASSERT_TRUE(boxHints);
    EXPECT_TRUE(boxHints->modal);
    EXPECT_EQ(boxHints->transientFor, "Progress");
  }
}

struct MarkCase {
  const char* name;
  std::string title;
  // Shows the window over |main| (running modally) and calls |look| while
  // it is on the screen.
  std::function<void(CDialog& main, const std::function<void()>& look)> show;
  bool modal;
  std::string over;  // the window it stands over, as the window manager is told
};

// The windows run modally over an owner are marked modal for the window
// manager, over that owner; the progress window shown modeless (at the
// start and while Simple Mode is prepared) and the main window are not.
TEST_F(WxModalTest, OnlyWindowsRunModallyOverAnOwnerAreMarkedModal) {
  const std::string folder = scratch_.Path();
  const MarkCase cases[] = {
      {"the progress window of the start", "Progress",
       [](CDialog&, const std::function<void()>& look) {
         app::CProgressDlg starting(app::kProgressStarting, nullptr);
         look();
       },
       false, ""},
      {"the progress window of Simple Mode's preparation", "Progress",
       [](CDialog& main, const std::function<void()>& look) {
         app::CProgressDlg preparing(app::kProgressPreparingSimple, &main);
         look();
       },
       false, kMainTitle},
      {"the main window, run modally without an owner", kMainTitle,
       [](CDialog&, const std::function<void()>& look) { look(); }, false, ""},
      {"a dialog run modally over the main window", "About",
       [this](CDialog& main, const std::function<void()>& look) {
         wx_->OnDialogShown([&](CDialog& d) {
           look();
           d.EndDialog(IDOK);
         });
         CDialog about(res::IDD_ABOUTBOX, &main);
         about.DoModal();
       },
       true, kMainTitle},
      {"the save dialog", "Save As",
       [&folder](CDialog& main, const std::function<void()>& look) {
         CFileDialog save(FALSE, u"pdf", u"scan", OFN_HIDEREADONLY, u"PDF Files (*.pdf)|*.pdf||", &main);
         save.m_ofn.lpstrInitialDir = FromAnsi(folder);
         WhileShown hands("Save As", [&] {
           look();
           PressKey("Escape");
         });
         save.DoModal();
       },
       true, kMainTitle},
      {"the folder chooser", "Destination",
       [](CDialog& main, const std::function<void()>& look) {
         BROWSEINFOW info{};
         info.hwndOwner = main.GetSafeHwnd();
         info.lpszTitle = u"Destination";
         WhileShown hands("Destination", [&] {
           look();
           PressKey("Escape");
         });
         ILFree(SHBrowseForFolderW(&info));
       },
       true, kMainTitle},
  };
  for (const MarkCase& c : cases) {
    SCOPED_TRACE(c.name);
    CDialog main(res::IDD_MAIN);
    std::optional<ModalHints> hints;
    wx_->OnDialogShown([&](CDialog& d) {
      SetMainWindow(&main);
      c.show(d, [&] { hints = ModalHintsOf(c.title); });
      SetMainWindow(nullptr);
      main.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(main.DoModal(), IDCANCEL);
    ASSERT_TRUE(hints);
    EXPECT_EQ(hints->modal, c.modal);
    EXPECT_EQ(hints->transientFor, c.over);
  }
}

}  // namespace
}  // namespace tallow::ui::testing
