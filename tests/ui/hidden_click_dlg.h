// The MFP selection dialog's auto-connect, for the tests of both back ends:
// it hides itself while it initialises and posts itself a click on OK, whose
// handler does its work (|onClick|) and ends the dialog when it succeeds.
#pragma once

#include <functional>

#include "platform/ui/dialog.h"
#include "res/dialog_templates.h"

namespace tallow::ui::testing {

class HiddenClickDlg : public CDialog {
 public:
  static constexpr int kOk = 3202;

  explicit HiddenClickDlg(bool succeed, std::function<void()> onClick = nullptr)
      : CDialog(res::IDD_SELECT_MFP), succeed_(succeed), onClick_(std::move(onClick)) {}
  bool visibleWhenClicked = true;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    ShowWindow(SW_HIDE);
    GetDlgItem(kOk)->PostClick();
    return TRUE;
  }
  void DeclareMessageMap(MessageMap& map) override {
    map.OnClicked(kOk, this, &HiddenClickDlg::OnOkClicked);
  }

 private:
  void OnOkClicked() {
    visibleWhenClicked = IsWindowVisible();
    if (onClick_) onClick_();
    if (succeed_) EndDialog(IDOK);
  }
  bool succeed_;
  std::function<void()> onClick_;
};

}  // namespace tallow::ui::testing
