#include "app/dialogs/password_dlg.h"

#include "app_fixture.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;

class PasswordDlgTest : public AppDialogTest {
 protected:
  void SetUp() override {
    AppDialogTest::SetUp();
    SetPasswordInfo({u"4321", TRUE});  // remembered from before
  }
  void TearDown() override { SetPasswordInfo({}); }
};

TEST_F(PasswordDlgTest, OpensEmptyWithItsTextsAndAMaskedFourDigitEdit) {
  ui.OnDialog([](CDialog& d) {
    EXPECT_EQ(d.GetWindowText(), u"TWAIN Box Password");
    EXPECT_EQ(d.GetDlgItemText(6301), u"Password:");
    EXPECT_EQ(d.GetDlgItemText(IDC_PASSWORD_SAVE), u"Save Password");
    // The remembered password and flag are not shown.
    EXPECT_EQ(d.GetDlgItemText(IDC_PASSWORD_EDIT), u"");
    EXPECT_EQ(d.GetDlgItem(IDC_PASSWORD_SAVE)->GetCheck(), BST_UNCHECKED);
    Control* edit = d.GetDlgItem(IDC_PASSWORD_EDIT);
    EXPECT_TRUE(edit->IsMasked());
    EXPECT_EQ(edit->GetLimitText(), 4);
    d.InputType(IDC_PASSWORD_EDIT, u"1a2-3 456");
    EXPECT_EQ(edit->GetText(), u"1234");
    d.InputEnter();  // OK is the default button
  });
  EXPECT_EQ(RunPasswordDlg(), 1);
  EXPECT_EQ(GetPasswordInfo().password, u"1234");
  EXPECT_EQ(GetPasswordInfo().savePassword, FALSE);
}

TEST_F(PasswordDlgTest, OkPublishesWhatWasTypedEvenWhenEmptyOrShort) {
  struct Case {
    const char16_t* typed;
    bool check;
  };
  for (const Case& c : {Case{u"", true}, Case{u"", false}, Case{u"07", true}}) {
    SCOPED_TRACE(c.check ? "checked" : "unchecked");
    SetPasswordInfo({u"4321", c.check ? FALSE : TRUE});
    ui.OnDialog([&](CDialog& d) {
      d.InputType(IDC_PASSWORD_EDIT, c.typed);
      if (c.check) d.InputClick(IDC_PASSWORD_SAVE);
      d.InputClick(IDC_PASSWORD_OK);
    });
    EXPECT_EQ(RunPasswordDlg(), 1);
    EXPECT_EQ(GetPasswordInfo().password, c.typed);
    EXPECT_EQ(GetPasswordInfo().savePassword, c.check ? TRUE : FALSE);
  }
}

TEST_F(PasswordDlgTest, CancelEscAndTheCloseBoxLeaveTheCurrentRecord) {
  const std::function<void(CDialog&)> ways[] = {
      [](CDialog& d) { d.InputClick(IDC_PASSWORD_CANCEL); },
      [](CDialog& d) { d.InputEscape(); },
      [](CDialog& d) { d.InputCloseBox(); },
  };
  for (const auto& leave : ways) {
    ui.OnDialog([&](CDialog& d) {
      d.InputType(IDC_PASSWORD_EDIT, u"99");
      d.InputClick(IDC_PASSWORD_SAVE);
      leave(d);
    });
    EXPECT_EQ(RunPasswordDlg(), 0);
    EXPECT_EQ(GetPasswordInfo().password, u"4321");
    EXPECT_EQ(GetPasswordInfo().savePassword, TRUE);
  }
}

}  // namespace
}  // namespace tallow::app::testing
