// The About dialog (template 100): product name, the program's version and
// legal notice, and the version of the language file in use.
#pragma once

#include "core/version_information.h"
#include "platform/ui/dialog.h"

namespace tallow::app {

class CAboutDlg : public ui::CDialog {
 public:
  // Reads the version block now, before the dialog is shown.
  CAboutDlg();

  WString m_strProductName;
  WString m_strVersion;
  WString m_strLegalNotice;
  CVersionInformation m_versionInfo;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(ui::CDataExchange* dx) override;
};

}  // namespace tallow::app
