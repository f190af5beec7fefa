#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "platform/ui/dialog.h"
#include "platform/ui/headless/headless_backend.h"
#include "res/dialog_templates.h"

namespace tallow::ui::testing {

inline constexpr int kCountEdit = 10;
inline constexpr int kNameEdit = 11;
inline constexpr int kRememberCheck = 12;

// A dialog with one of everything the data exchange handles, and OK and
// Cancel under their standard ids.
inline constexpr ControlTemplate kSampleControls[] = {
    {kCountEdit, ControlKind::kEdit, {5, 5, 40, 12}, WS_CHILD | WS_VISIBLE | WS_BORDER, u""},
    {kNameEdit, ControlKind::kEdit, {5, 20, 40, 12}, WS_CHILD | WS_VISIBLE | WS_BORDER, u""},
    {kRememberCheck, ControlKind::kCheckBox, {5, 35, 60, 10}, WS_CHILD | WS_VISIBLE, u"Remember"},
    {IDOK, ControlKind::kButton, {5, 50, 50, 14}, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, u"OK"},
    {IDCANCEL, ControlKind::kButton, {60, 50, 50, 14}, WS_CHILD | WS_VISIBLE, u"Cancel"},
};
inline constexpr DialogTemplate kSampleTemplate = {
    900, {0, 0, 120, 70}, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, u"Sample", u"MS Shell Dlg", 8,
    kSampleControls};

class SampleDlg : public CDialog {
 public:
  SampleDlg() : CDialog(kSampleTemplate) {}
  int m_nCount = 7;
  WString m_strName = u"abc";
  int m_bRemember = 0;
  int applyClicks = 0;

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, kCountEdit, m_nCount);
    DDX_Text(dx, kNameEdit, m_strName);
    DDV_MaxChars(dx, m_strName, 5);
    DDX_Check(dx, kRememberCheck, m_bRemember);
  }
  void DeclareMessageMap(MessageMap& map) override {
    map.OnClicked(kRememberCheck, this, &SampleDlg::OnRemember);
  }

 private:
  void OnRemember() { ++applyClicks; }
};

class UiTest : public ::testing::Test {
 protected:
  HeadlessBackend ui;
};

}  // namespace tallow::ui::testing
