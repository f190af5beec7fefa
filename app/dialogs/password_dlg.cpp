#include "app/dialogs/password_dlg.h"

#include "core/dialog_texts.h"
#include "res/resource_ids.h"

namespace tallow::app {

using namespace tallow::res;
using namespace tallow::ui;

CPasswordDlg::CPasswordDlg() : CDialog(res::IDD_PASSWORD, nullptr) {}

BOOL CPasswordDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetPasswordDlgTexts(*this);
  // Always opens empty: a remembered password is never shown.
  UpdateData(FALSE);
  return TRUE;
}

void CPasswordDlg::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, IDC_PASSWORD_EDIT, m_strPassword);
  DDV_MaxChars(dx, m_strPassword, kPasswordMaxChars);
  DDX_Check(dx, IDC_PASSWORD_SAVE, m_bSavePassword);
}

void CPasswordDlg::DeclareMessageMap(MessageMap& map) {
  map.OnClicked(IDC_PASSWORD_OK, this, &CPasswordDlg::OnBnClickedOk);
  map.OnClicked(IDC_PASSWORD_CANCEL, this, &CPasswordDlg::OnBnClickedCancel);
}

void CPasswordDlg::OnBnClickedOk() {
  if (!UpdateData(TRUE)) return;
  // Taken as typed: an empty or short password is the user's to give.
  m_passwordInfo.password = m_strPassword;
  m_passwordInfo.savePassword = m_bSavePassword;
  SetPasswordInfo(m_passwordInfo);
  EndDialog(IDOK);
}

void CPasswordDlg::OnBnClickedCancel() { OnCancel(); }

int RunPasswordDlg() {
  CPasswordDlg dialog;
  return dialog.DoModal() == IDOK ? 1 : 0;
}

}  // namespace tallow::app
