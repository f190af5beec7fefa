// The password of a protected box (template 203): at most four digits, and
// whether to remember it.
#pragma once

#include "core/settings.h"
#include "platform/ui/dialog.h"

namespace tallow::app {

inline constexpr int kPasswordMaxChars = kPasswordMaxDigits;

class CPasswordDlg : public ui::CDialog {
 public:
  CPasswordDlg();

  WString m_strPassword;
  BOOL m_bSavePassword = FALSE;
  PasswordInfo m_passwordInfo;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(ui::CDataExchange* dx) override;
  void DeclareMessageMap(ui::MessageMap& map) override;

 private:
  void OnBnClickedOk();
  void OnBnClickedCancel();
};

// Asks for the password; 1 when the user confirmed it with OK, which has
// made it the current PasswordInfo, else 0 with the current one untouched.
int RunPasswordDlg();

}  // namespace tallow::app
