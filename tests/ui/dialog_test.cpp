#include <functional>

#include "platform/ui/file_dialog.h"

#include "ui_fixture.h"

namespace tallow::ui::testing {
namespace {

struct EndCase {
  const char* name;
  std::function<void(CDialog&)> act;
  int result;
};

TEST_F(UiTest, ModalLoopEndsWithTheResultOfTheUsersAction) {
  const EndCase cases[] = {
      {"OK button", [](CDialog& d) { d.InputClick(IDOK); }, IDOK},
      {"Cancel button", [](CDialog& d) { d.InputClick(IDCANCEL); }, IDCANCEL},
      {"Esc", [](CDialog& d) { d.InputEscape(); }, IDCANCEL},
      {"close box", [](CDialog& d) { d.InputCloseBox(); }, IDCANCEL},
      {"Enter presses the default button", [](CDialog& d) { d.InputEnter(); }, IDOK},
      {"a disabled button does nothing",
       [](CDialog& d) {
         d.GetDlgItem(IDOK)->EnableWindow(false);
         d.InputClick(IDOK);
         d.InputEnter();
         d.InputClick(IDCANCEL);
       },
       IDCANCEL},
      {"EndDialog from code", [](CDialog& d) { d.EndDialog(42); }, 42},
  };
  for (const EndCase& c : cases) {
    SCOPED_TRACE(c.name);
    ui.OnDialog(c.act);
    SampleDlg dialog;
    EXPECT_EQ(dialog.DoModal(), c.result);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);  // the window is gone after the loop
  }
}

TEST_F(UiTest, EscAndCloseBoxGiveCancelWithoutACancelButton) {
  // The About dialog has only OK (id 1).
  for (bool esc : {true, false}) {
    ui.OnDialog([esc](CDialog& d) { esc ? d.InputEscape() : d.InputCloseBox(); });
    CDialog about(res::IDD_ABOUTBOX);
    EXPECT_EQ(about.DoModal(), IDCANCEL);
  }
}

TEST_F(UiTest, GrayedCloseEntryKeepsTheCloseBoxFromEndingTheDialog) {
  ui.OnDialog([](CDialog& d) {
    d.EnableCloseCommand(false);
    d.InputCloseBox();
    EXPECT_FALSE(d.IsEnded());
    d.PostMessageW(WM_CLOSE);  // a posted WM_CLOSE still ends it
  });
  CDialog progress(res::IDD_PROGRESS);
  EXPECT_EQ(progress.DoModal(), IDCANCEL);
}

TEST_F(UiTest, DataExchangeLoadsMembersAndSavesThemOnOk) {
  SampleDlg dialog;
  ui.OnDialog([](CDialog& d) {
    EXPECT_EQ(d.GetDlgItemText(kCountEdit), u"7");
    EXPECT_EQ(d.GetDlgItemText(kNameEdit), u"abc");
    EXPECT_EQ(d.GetDlgItem(kNameEdit)->GetLimitText(), 5);
    d.GetDlgItem(kCountEdit)->SetSel(0, 1);
    d.InputType(kCountEdit, u" -12");
    d.GetDlgItem(kNameEdit)->SetSel(3, 3);
    d.InputType(kNameEdit, u"defghij");  // cut at the limit
    d.InputClick(kRememberCheck);
    d.InputClick(IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_nCount, -12);
  EXPECT_EQ(dialog.m_strName, u"abcde");
  EXPECT_EQ(dialog.m_bRemember, BST_CHECKED);
  EXPECT_EQ(dialog.applyClicks, 1);  // the message map saw the check box
  EXPECT_TRUE(ui.MessageBoxes().empty());
}

TEST_F(UiTest, InvalidIntegerShowsItsMessageAndKeepsTheDialogOpen) {
  for (const char16_t* bad : {u"", u"1x", u"99999999999", u"- 3"}) {
    SCOPED_TRACE(ToAnsi(bad));
    SampleDlg dialog;
    bool stayedOpen = false;
    ui.OnDialog([&](CDialog& d) {
      d.SetDlgItemText(kCountEdit, bad);
      d.GetDlgItem(kNameEdit)->SetFocus();
      d.InputClick(IDOK);
      stayedOpen = !d.IsEnded();
      EXPECT_EQ(d.GetFocusId(), kCountEdit);  // the focus goes to the culprit
      d.InputClick(IDCANCEL);
    });
    const std::size_t boxesBefore = ui.MessageBoxes().size();
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(dialog.m_nCount, 7);
    ASSERT_EQ(ui.MessageBoxes().size(), boxesBefore + 1);
    const MessageBoxRecord& box = ui.MessageBoxes().back();
    EXPECT_EQ(box.text, u"Please enter an integer.");
    EXPECT_EQ(box.ownerWindow, &dialog);
    EXPECT_EQ(box.type, MB_OK | MB_ICONWARNING);
  }
}

TEST_F(UiTest, TooLongTextSetFromCodeFailsTheMaximumLength) {
  SampleDlg dialog;
  ui.OnDialog([](CDialog& d) {
    d.SetDlgItemText(kNameEdit, u"toolong");  // code is not held to the limit
    EXPECT_FALSE(d.UpdateData(TRUE));
    d.InputEscape();
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  ASSERT_EQ(ui.MessageBoxes().size(), 1u);
  EXPECT_EQ(ui.MessageBoxes()[0].text, u"Please enter no more than 5 characters.");
}

TEST_F(UiTest, MaskedDigitsEditRefusesOtherKeysAndReadOnlyRefusesAll) {
  ui.OnDialog([](CDialog& d) {
    Control* edit = d.GetDlgItem(6001);
    EXPECT_TRUE(edit->IsMasked());
    EXPECT_TRUE(edit->IsDigitsOnly());
    edit->SetLimitText(4);
    d.InputType(6001, u"1a2b34567");
    EXPECT_EQ(edit->GetText(), u"1234");
    DWORD start = 9, end = 9;
    edit->GetSel(&start, &end);
    EXPECT_EQ(start, 4u);
    EXPECT_EQ(end, 4u);
    edit->SetReadOnly(true);
    edit->SetSel(0, 4);
    d.InputType(6001, u"9");
    EXPECT_EQ(edit->GetText(), u"1234");
    d.InputClick(6202);  // unmapped: no default handling for other ids
    EXPECT_FALSE(d.IsEnded());
    d.InputEscape();
  });
  CDialog password(res::IDD_PASSWORD);
  EXPECT_EQ(password.DoModal(), IDCANCEL);
}

TEST_F(UiTest, ControlsComeFromTheTemplate) {
  ui.OnDialog([](CDialog& d) {
    EXPECT_EQ(d.GetWindowText(), u"Progress");
    const Control* bar = d.GetDlgItem(5001);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Kind(), ControlKind::kProgress);
    EXPECT_EQ(bar->GetRect(), (Rect{15, 25, 160, 14}));
    EXPECT_TRUE(d.GetDlgItem(5201)->IsDefaultButton());
    EXPECT_EQ(d.GetDefID(), 5201);
    d.GetDlgItem(5201)->SetButtonStyle(BS_PUSHBUTTON);
    d.GetDlgItem(5202)->SetButtonStyle(BS_DEFPUSHBUTTON);
    EXPECT_EQ(d.GetDefID(), 5202);
    EXPECT_EQ(d.GetDlgItem(IDC_STATIC), nullptr);
    d.EndDialog(IDOK);
  });
  CDialog progress(res::IDD_PROGRESS);
  EXPECT_EQ(progress.DoModal(), IDOK);
}

TEST_F(UiTest, DialogWindowInterfaceActsOnTheRealDialog) {
  ui.OnDialog([](CDialog& d) {
    DialogWindow& w = d;
    w.SetCaption(u"Info");
    EXPECT_TRUE(w.HasControl(1122));
    EXPECT_FALSE(w.HasControl(5001));
    w.SetControlText(1122, u"-");
    EXPECT_EQ(d.GetWindowText(), u"Info");
    EXPECT_EQ(d.GetDlgItemText(1122), u"-");
    EXPECT_EQ(d.GetDlgItemText(1121), u"X.X.X.X");
    d.InputEnter();
  });
  CDialog about(res::IDD_ABOUTBOX);
  EXPECT_EQ(about.DoModal(), IDOK);
}

TEST_F(UiTest, ProgressBarKeepsItsPositionInsideTheRange) {
  ui.OnDialog([](CDialog& d) {
    Control* bar = d.GetDlgItem(5001);
    bar->SetRange32(0, 100);
    EXPECT_EQ(bar->SetPos(45), 0);
    EXPECT_EQ(bar->SetPos(250), 45);
    EXPECT_EQ(bar->GetPos(), 100);
    int lower = -1, upper = -1;
    bar->GetRange(&lower, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 100);
    d.EndDialog(IDOK);
  });
  CDialog progress(res::IDD_PROGRESS);
  EXPECT_EQ(progress.DoModal(), IDOK);
}

TEST_F(UiTest, DialogThatCannotBeMadeFails) {
  CDialog unknown(12345);
  EXPECT_EQ(unknown.DoModal(), kModalFailed);
  EXPECT_TRUE(ui.OpenedDialogs().empty());
}

TEST(UiWithoutBackend, DoModalFailsAndMessageBoxesAnswerZero) {
  CDialog about(res::IDD_ABOUTBOX);
  EXPECT_EQ(about.DoModal(), kModalFailed);
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_OK), 0);
}

TEST_F(UiTest, NestedModalDialogDisablesItsOwnerWhileItRuns) {
  ui.OnDialog([this](CDialog& outer) {
    ui.OnDialog([](CDialog& inner) {
      EXPECT_FALSE(inner.GetParent()->IsWindowEnabled());
      inner.InputEnter();
    });
    CDialog about(res::IDD_ABOUTBOX, &outer);
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_TRUE(outer.IsWindowEnabled());
    outer.InputEscape();
  });
  SampleDlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(ui.OpenedDialogs(), (std::vector<int>{900, res::IDD_ABOUTBOX}));
}

// Every modal window keeps its owner from taking input while it runs; one
// made without an owner belongs to the main window. A click on the owner's
// check box then changes nothing, and the owner takes input again after.
struct OwnedCase {
  const char* name;
  bool ownerIsParent;  // else the window has no owner and the main window is taken
  // Runs the modal window; |during| is called while it runs.
  std::function<void(HeadlessBackend&, CDialog& owner, const std::function<void()>& during)> run;
};

TEST_F(UiTest, ModalWindowsRefuseInputToTheirOwnerWhileTheyRun) {
  const OwnedCase cases[] = {
      {"dialog with a parent", true,
       [](HeadlessBackend& ui, CDialog& owner, const std::function<void()>& during) {
         ui.OnDialog([&](CDialog& d) {
           during();
           d.InputEnter();
         });
         CDialog about(res::IDD_ABOUTBOX, &owner);
         EXPECT_EQ(about.DoModal(), IDOK);
       }},
      {"dialog without a parent", false,
       [](HeadlessBackend& ui, CDialog&, const std::function<void()>& during) {
         ui.OnDialog([&](CDialog& d) {
           during();
           d.InputEnter();
         });
         CDialog about(res::IDD_ABOUTBOX);
         EXPECT_EQ(about.DoModal(), IDOK);
         EXPECT_EQ(about.GetOwner(), nullptr);  // none once the window is gone
       }},
      {"message box with an owner", true,
       [](HeadlessBackend& ui, CDialog& owner, const std::function<void()>& during) {
         ui.OnMessageBox([&](const MessageBoxRecord& box) {
           EXPECT_EQ(box.owner, owner.GetSafeHwnd());
           during();
           return IDOK;
         });
         owner.MessageBox(u"text", u"caption", MB_OK);
       }},
      {"message box without an owner", false,
       [](HeadlessBackend& ui, CDialog& owner, const std::function<void()>& during) {
         ui.OnMessageBox([&](const MessageBoxRecord& box) {
           EXPECT_EQ(box.owner, owner.GetSafeHwnd());  // the main window's
           during();
           return IDOK;
         });
         MessageBoxW(nullptr, u"text", u"caption", MB_OK);
       }},
      {"file dialog without a parent", false,
       [](HeadlessBackend& ui, CDialog&, const std::function<void()>& during) {
         ui.OnFileDialog([&](const FileDialogRequest&, WString*, int*) {
           during();
           return IDCANCEL;
         });
         CFileDialog chooser(FALSE, u"pdf", nullptr, 0, u"PDF Files (*.pdf)|*.pdf||");
         EXPECT_EQ(chooser.DoModal(), IDCANCEL);
       }},
      {"folder chooser with an owner", true,
       [](HeadlessBackend& ui, CDialog& owner, const std::function<void()>& during) {
         ui.OnFolderDialog([&](HWND, WString*) {
           during();
           return IDCANCEL;
         });
         BROWSEINFOW info{};
         info.hwndOwner = owner.GetSafeHwnd();
         EXPECT_EQ(SHBrowseForFolderW(&info), nullptr);
       }},
  };
  for (const OwnedCase& c : cases) {
    SCOPED_TRACE(c.name);
    ui.OnDialog([&](CDialog& owner) {
      auto& sample = static_cast<SampleDlg&>(owner);
      if (!c.ownerIsParent) SetMainWindow(&owner);
      c.run(ui, owner, [&] {
        EXPECT_FALSE(owner.IsWindowEnabled());
        owner.InputClick(kRememberCheck);
        owner.InputType(kNameEdit, u"typed");
        owner.InputEscape();
        EXPECT_EQ(sample.applyClicks, 0);
        EXPECT_EQ(owner.GetDlgItem(kRememberCheck)->GetCheck(), BST_UNCHECKED);
        EXPECT_EQ(owner.GetDlgItemText(kNameEdit), u"abc");
        EXPECT_FALSE(owner.IsEnded());
      });
      SetMainWindow(nullptr);
      EXPECT_TRUE(owner.IsWindowEnabled());
      owner.InputClick(kRememberCheck);
      EXPECT_EQ(sample.applyClicks, 1);
      owner.InputEscape();
    });
    SampleDlg owner;
    EXPECT_EQ(owner.DoModal(), IDCANCEL);
    ui.OnMessageBox(nullptr);
    ui.OnFileDialog(nullptr);
    ui.OnFolderDialog(nullptr);
  }
}

// An owner that was disabled before its modal window opened stays so after.
TEST_F(UiTest, ModalWindowLeavesADisabledOwnerDisabled) {
  ui.OnDialog([this](CDialog& owner) {
    owner.EnableWindow(false);
    ui.OnMessageBox([](const MessageBoxRecord&) { return IDOK; });
    owner.MessageBox(u"text", u"caption", MB_OK);
    EXPECT_FALSE(owner.IsWindowEnabled());
    owner.EndDialog(IDCANCEL);
  });
  SampleDlg owner;
  EXPECT_EQ(owner.DoModal(), IDCANCEL);
}

}  // namespace
}  // namespace tallow::ui::testing
