#include "app/dialogs/about_dlg.h"

#include "core/dialog_texts.h"
#include "res/resource_ids.h"

namespace tallow::app {

using namespace tallow::res;
using namespace tallow::ui;

namespace {
WString ValueOrEmpty(const char16_t* value) { return value ? WString(value) : WString(); }
}  // namespace

CAboutDlg::CAboutDlg() : CDialog(res::IDD_ABOUTBOX, nullptr) {}

BOOL CAboutDlg::OnInitDialog() {
  m_strProductName = u"Tallowmere";
  m_strVersion = ValueOrEmpty(m_versionInfo.QueryValue(u"\\StringFileInfo\\%04X%04X\\FileVersion"));
  m_strLegalNotice =
      ValueOrEmpty(m_versionInfo.QueryValue(u"\\StringFileInfo\\%04X%04X\\LegalCopyright"));
  CDialog::OnInitDialog();  // members to controls
  SetAboutLanguageText(*this);
  return TRUE;
}

void CAboutDlg::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, IDC_ABOUT_PRODUCT, m_strProductName);
  DDX_Text(dx, IDC_ABOUT_VERSION, m_strVersion);
  DDX_Text(dx, IDC_ABOUT_LEGAL, m_strLegalNotice);
}

}  // namespace tallow::app
