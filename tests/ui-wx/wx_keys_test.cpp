// The keyboard and the mouse of the real windows around modal windows and
// menus, played through the X server's XTEST (wxUIActionSimulator): Esc
// reaches a window that got its focus back from a modal window, an open
// menu keeps its keys, and the owner of a modal window takes no input.
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/ui/file_dialog.h"
#include "platform/ui/ui_thread.h"
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "tests/ui-wx/wx_fixture.h"
#include "tests/ui/recording_dlg.h"

// After the project's headers: wx defines TRUE and FALSE as macros.
#include <wx/uiaction.h>

namespace tallow::ui::testing {
namespace {

using std::chrono::milliseconds;

// The pointer away from every window: under Xvfb without a window manager a
// keyboard left without a focus window goes to the window under it.
void PointerAway() {
  wxUIActionSimulator user;
  user.MouseMove(1, 1);
}

void Key(int key) {
  wxUIActionSimulator user;
  user.Char(key);
}

// The middle of control |id| of |d| on the screen.
Point ScreenCentre(WxDriver& wx, CDialog& d, int id) {
  const std::optional<Rect> r = wx.ControlRect(d, IndexOf(d, id));
  if (!r) return {};
  Point p{r->x + r->cx / 2, r->y + r->cy / 2};
  d.ClientToScreen(&p);
  return p;
}

void ClickAt(Point p) {
  wxUIActionSimulator user;
  user.MouseMove(p.x, p.y);
  user.MouseClick();
}

struct ModalCase {
  const char* name;
  // Runs a modal window over |owner| and ends it with the keyboard.
  std::function<void(CDialog& owner)> run;
};

// After each kind of modal window ends, Esc in its owner ends the owner, as
// it did before: the owner has its keyboard focus back.
TEST_F(WxDialogTest, EscReachesTheOwnerAfterAModalWindowEnds) {
  const ModalCase cases[] = {
      {"a dialog with a parent",
       [](CDialog& owner) {
         CDialog about(res::IDD_ABOUTBOX, &owner);
         EXPECT_EQ(about.DoModal(), IDOK);
       }},
      {"a dialog without a parent",
       [](CDialog&) {
         CDialog about(res::IDD_ABOUTBOX);
         EXPECT_EQ(about.DoModal(), IDOK);
       }},
      {"a message box",
       [](CDialog& owner) {
         KeysLater keys({WXK_RETURN});
         EXPECT_EQ(owner.MessageBox(u"Saved.", u"Save", MB_ICONINFORMATION), IDOK);
       }},
      {"a save dialog",
       [](CDialog& owner) {
         CFileDialog save(FALSE, u"pdf", u"scan", OFN_HIDEREADONLY, u"PDF Files (*.pdf)|*.pdf||",
                          &owner);
         save.m_ofn.lpstrInitialDir = FromAnsi(std::filesystem::temp_directory_path().string());
         KeysLater keys({WXK_RETURN});
         EXPECT_EQ(save.DoModal(), IDOK);
       }},
  };
  for (const ModalCase& c : cases) {
    SCOPED_TRACE(c.name);
    CDialog main(res::IDD_MAIN);
    bool ownerSawEsc = false;
    wx_->OnDialogShown([&](CDialog& d) {
      if (&d != &main) {
        // The nested dialog, ended by the keyboard as the user ends it.
        Key(WXK_RETURN);
        return;
      }
      SetMainWindow(&main);
      c.run(d);
      PointerAway();
      wx_->Pump(milliseconds(300));
      Key(WXK_ESCAPE);
      ownerSawEsc = PumpUntil(*wx_, [&] { return d.IsEnded(); });
      SetMainWindow(nullptr);
      if (!d.IsEnded()) d.EndDialog(kNotEnded);
    });
    EXPECT_EQ(main.DoModal(), IDCANCEL);
    EXPECT_TRUE(ownerSawEsc);
  }
}

// Esc in an open menu closes the menu and goes no further; Enter there
// chooses the item and presses no button. Only a key in the window itself
// reaches the dialog.
TEST_F(WxDialogTest, AnOpenMenuKeepsItsKeys) {
  RecordingDlg main(res::IDD_MAIN);
  main.watchCommands = {{30003, 0}, {res::IDC_SIMPLE_SAVE, BN_CLICKED}};
  bool closedByEsc = false;
  bool enterChoseTheItem = false;
  wx_->OnDialogShown([&](CDialog& d) {
    const auto openFirstMenu = [&] {
      // The first title ("Settings") at the left of the menu bar.
      Point title{20, wx_->MenuBarHeight(d) / 2};
      const Rect r = d.GetWindowRect();
      ClickAt(Point{r.x + title.x, r.y + title.y});
      return PumpUntil(*wx_, [&] { return wx_->MenuOpen(d); });
    };
    ASSERT_TRUE(openFirstMenu()) << "the menu did not open";
    Key(WXK_ESCAPE);
    closedByEsc = PumpUntil(*wx_, [&] { return !wx_->MenuOpen(d); }) && !d.IsEnded();
    wx_->Pump(milliseconds(200));
    EXPECT_FALSE(d.IsEnded());

    ASSERT_TRUE(openFirstMenu()) << "the menu did not open again";
    Key(WXK_DOWN);  // its first item, "Select MFP"
    Key(WXK_RETURN);
    enterChoseTheItem = PumpUntil(*wx_, [&] { return !main.events.empty(); });
    wx_->Pump(milliseconds(200));

    Key(WXK_ESCAPE);  // in the window: ends it
    if (!PumpUntil(*wx_, [&] { return d.IsEnded(); })) d.EndDialog(kNotEnded);
  });
  EXPECT_EQ(main.DoModal(), IDCANCEL);
  EXPECT_TRUE(closedByEsc);
  EXPECT_TRUE(enterChoseTheItem);
  EXPECT_EQ(main.events, (std::vector<Event>{{30003, 0}}));
}

// A click on the owner while a modal dialog without a parent runs changes
// nothing there; once the dialog has ended the same click is taken.
TEST_F(WxDialogTest, TheOwnerOfAModalDialogTakesNoClicks) {
  RecordingDlg main(res::IDD_MAIN);
  main.watchCommands = {{res::IDC_MAIN_PREVIEW, BN_CLICKED}};
  wx_->OnDialogShown([&](CDialog& d) {
    if (&d != &main) {
      ClickAt(ScreenCentre(*wx_, main, res::IDC_MAIN_PREVIEW));
      wx_->Pump(milliseconds(300));
      EXPECT_TRUE(main.events.empty());
      EXPECT_EQ(main.GetDlgItem(res::IDC_MAIN_PREVIEW)->GetCheck(), BST_UNCHECKED);
      d.EndDialog(IDOK);
      return;
    }
    SetMainWindow(&main);
    CDialog password(res::IDD_PASSWORD);
    EXPECT_EQ(password.DoModal(), IDOK);
    SetMainWindow(nullptr);
    wx_->Pump(milliseconds(300));
    ClickAt(ScreenCentre(*wx_, main, res::IDC_MAIN_PREVIEW));
    PumpUntil(*wx_, [&] { return !main.events.empty(); });
    EXPECT_EQ(main.GetDlgItem(res::IDC_MAIN_PREVIEW)->GetCheck(), BST_CHECKED);
    d.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(main.DoModal(), IDCANCEL);
  EXPECT_EQ(main.events, (std::vector<Event>{{res::IDC_MAIN_PREVIEW, BN_CLICKED}}));
}

}  // namespace
}  // namespace tallow::ui::testing
