#include "app/dialogs/basic_setting_dlg.h"

#include <vector>

#include "core/dialog_texts.h"
#include "core/text_format.h"
#include "core/texts.h"
#include "platform/file_system.h"
#include "platform/ui/file_dialog.h"
#include "res/resource_ids.h"

namespace tallow::app {

using namespace tallow::res;
using namespace tallow::ui;

namespace {

constexpr DWORD kFirstPathBuffer = 260;
constexpr DWORD kMaxPathBuffer = 65535;
// "Unable to access folder.": a folder the settings file cannot give back
// as it is (a line break in its name, blanks at its end) would be lost at
// exit, or come back as another folder at the next start.
constexpr std::int32_t kFolderNotKept = 21012;

}  // namespace

CBasicSettingDlg::CBasicSettingDlg(CDialog* parent) : CDialog(res::IDD_BASIC_SETTING, parent) {}

void CBasicSettingDlg::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, IDC_SETTING_DEVICE_NAME, m_strDeviceName);
  DDX_Text(dx, IDC_SETTING_FOLDER, m_strFolder);
  DDX_Radio(dx, IDC_SETTING_COLOR_PDF, m_nColorFormat);
  DDX_Radio(dx, IDC_SETTING_MONO_PDF, m_nMonoFormat);
  DDX_Check(dx, IDC_SETTING_DELETE_AFTER_SAVE, m_bDeleteFile);
  DDX_Radio(dx, IDC_SETTING_MODE_ADVANCED, m_nMode);
  DDX_Control(dx, IDC_SETTING_BOX, m_comboBox);
  DDX_CBIndex(dx, IDC_SETTING_BOX, m_nBoxRow);
  DDX_Control(dx, IDC_SETTING_FOLDER, m_editFolder);
}

void CBasicSettingDlg::DeclareMessageMap(MessageMap& map) {
  map.OnClicked(IDC_SETTING_OK, this, &CBasicSettingDlg::OnBnClickedOk);
  map.OnClicked(IDC_SETTING_CANCEL, this, &CBasicSettingDlg::OnBnClickedCancel);
  map.OnClicked(IDC_SETTING_BROWSE, this, &CBasicSettingDlg::OnBnClickedBrowse);
}

BOOL CBasicSettingDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetBasicSettingDlgTexts(*this);
  m_settingInfo = GetSettingInfo();

  if (m_comboBox) {
    // Inserting never sorts, so row r stays box r + 1 although the combo
    // box sorts what is added to it.
    for (const WString& name : m_boxNames) m_comboBox->InsertString(-1, name);
    // Beyond the last row, nothing is selected.
    m_comboBox->SetCurSel(m_settingInfo.boxIndex == 0 ? 0 : m_settingInfo.boxIndex - 1);
  }
  UpdateData(TRUE);  // m_nBoxRow takes the selection just made

  m_strDeviceName = m_settingInfo.machineName;
  m_strFolder = m_settingInfo.folderPath;
  m_nColorFormat = m_settingInfo.ColorFormat;
  m_nMonoFormat = m_settingInfo.MonoFormat;
  m_bDeleteFile = m_settingInfo.DeleteFile;
  m_nMode = m_settingInfo.SimpleMode;
  UpdateData(FALSE);
  if (m_editFolder) m_editFolder->SetLimitText(kFolderMaxChars);
  return TRUE;
}

void CBasicSettingDlg::ShowError(const WString& text) {
  MessageBox(text, MessageText(20004), MB_ICONERROR | MB_OK);
}

void CBasicSettingDlg::OnBnClickedOk() {
  if (!UpdateData(TRUE)) return;
  // Browse is not bound by the edit's limit.
  if (m_strFolder.size() > static_cast<std::size_t>(kFolderMaxChars)) {
    ShowError(MessageText(21013));
    return;
  }
  if (m_strFolder.empty() || !PathIsDirectoryW(m_strFolder.c_str())) {
    ShowError(MessageText(21016));
    return;
  }
  if (!SettingsFileKeeps(m_strFolder)) {
    ShowError(MessageText(kFolderNotKept));
    return;
  }
  const int row = m_comboBox ? m_comboBox->GetCurSel() : CB_ERR;
  m_settingInfo.boxIndex = static_cast<std::uint16_t>(row < 0 ? 1 : row + 1);
  m_settingInfo.folderPath = m_strFolder;
  m_settingInfo.machineName = m_strDeviceName;
  m_settingInfo.ColorFormat = m_nColorFormat;
  m_settingInfo.MonoFormat = m_nMonoFormat;
  m_settingInfo.DeleteFile = m_bDeleteFile;
  m_settingInfo.SimpleMode = m_nMode;
  SetSettingInfo(m_settingInfo);
  CDialog::OnOK();
}

void CBasicSettingDlg::OnBnClickedCancel() { OnCancel(); }

void CBasicSettingDlg::OnBnClickedBrowse() {
  WString folder;
  if (BrowseForFolder(GetSafeHwnd(), folder) != 1) return;
  if (!SettingsFileKeeps(folder)) {
    ShowError(MessageText(kFolderNotKept));
    return;
  }
  UpdateData(TRUE);  // the user's other changes stay
  m_strFolder = folder;
  UpdateData(FALSE);
}

int CBasicSettingDlg::BrowseForFolder(HWND owner, WString& folder) {
  BROWSEINFOW info;
  info.hwndOwner = owner;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  ITEMIDLIST* chosen = SHBrowseForFolderW(&info);
  if (!chosen) return 2;

  folder.clear();
  bool fetched = false;
  // The buffer doubles while the path does not fit.
  for (DWORD size = kFirstPathBuffer; size <= kMaxPathBuffer && !fetched; size *= 2) {
    std::vector<char16_t> buffer(size, u'\0');
    if (SHGetPathFromIDListEx(chosen, buffer.data(), size)) {
      folder.assign(buffer.data());
      fetched = !folder.empty();
    }
  }
  ILFree(chosen);
  if (fetched) return 1;

  // No buffer up to the limit held a path.
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  ShowError(FormatWithNumber(MessageText(21017), ERROR_NOT_ENOUGH_MEMORY));
  return 2;
}

int RunBasicSettingDlg(AppSettings& settings, CDialog* parent, const WStringList& boxNames) {
  CBasicSettingDlg dialog(parent);
  // Entry 0 is the root of the box tree, not a box.
  if (boxNames.size() > 1) dialog.m_boxNames.assign(boxNames.begin() + 1, boxNames.end());
  if (dialog.DoModal() != IDOK) return 0;
  settings.GetSettingInfo();  // its record takes the current one
  return 1;
}

}  // namespace tallow::app
