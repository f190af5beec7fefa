// The Basic Settings dialog (template 205): the saving preferences of
// SettingInfo, that is the box Simple Mode works on, the destination folder,
// the formats for colour and black-and-white documents, deleting after a
// save, and the mode the program starts in.
#pragma once

#include "core/settings.h"
#include "platform/ui/dialog.h"

namespace tallow::app {

inline constexpr int kFolderMaxChars = 240;

class CBasicSettingDlg : public ui::CDialog {
 public:
  explicit CBasicSettingDlg(ui::CDialog* parent);

  // The folder browser: 1 with the chosen folder in |folder|; 2 when the
  // user cancelled, or when the folder's path could not be had, which it
  // reports itself.
  int BrowseForFolder(HWND owner, WString& folder);

  WString m_strDeviceName;
  WString m_strFolder;
  // Filled by the runner before the dialog runs: row r is box r + 1.
  WStringList m_boxNames;
  ui::Control* m_editFolder = nullptr;
  int m_nColorFormat = 0;  // 0 PDF, 1 JPEG
  int m_nMonoFormat = 0;   // 0 PDF, 1 TIFF
  BOOL m_bDeleteFile = FALSE;
  int m_nMode = 0;         // 0 Advanced Mode, 1 Simple Mode
  int m_nBoxRow = 0;       // -1: none
  ui::CComboBox* m_comboBox = nullptr;
  SettingInfo m_settingInfo;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(ui::CDataExchange* dx) override;
  void DeclareMessageMap(ui::MessageMap& map) override;

 private:
  void OnBnClickedOk();
  void OnBnClickedCancel();
  void OnBnClickedBrowse();
  void ShowError(const WString& text);
};

// Builds and runs the dialog with the boxes of |boxNames| (its entry 0, the
// root, left out). 1 after OK, which has made the edited record the current
// SettingInfo and copied it into |settings|; else 0 with both untouched.
int RunBasicSettingDlg(AppSettings& settings, ui::CDialog* parent, const WStringList& boxNames);

}  // namespace tallow::app
