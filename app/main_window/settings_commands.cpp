// The Select MFP and Basic Settings commands of the menu bar: each runs its
// dialog and brings the view of the current mode up to date.
#include "app/dialogs/basic_setting_dlg.h"
#include "app/dialogs/select_mfp_dlg.h"
#include "app/main_window/main_dlg.h"
#include "device/channel_layer.h"
#include "platform/cursor.h"

namespace tallow::app {

void CMainDlg::OnSelectMfp() {
  const int result = RunSelectMfpDlg(FALSE, nullptr, m_appSettings, this);
  if (result == 0) return;  // cancelled without trying: nothing changed
  BOOL fromDevice = TRUE;
  if (result == 1) {
    m_mfpInfo = m_appSettings.GetMFPInfo();
    // The dialog's connection test has just listed the new MFP's boxes.
    fromDevice = FALSE;
  }
  // Else a failed attempt was cancelled: the MFP is unchanged, and it is
  // asked again.
  if (m_nMode == kModeAdvanced) {
    RefreshBoxTree(fromDevice);
  } else {
    RefreshSimpleView(fromDevice);
  }
}

void CMainDlg::OnBasicSettings() {
  if (m_nMode == kModeAdvanced) {
    // The dialog offers the boxes; without a listing yet, one is tried
    // quietly: a failure leaves the list empty.
    if (m_boxNames.empty()) {
      const WaitCursorScope wait;
      RefreshFolderList(m_mfpInfo, m_boxNames);
    }
    if (RunBasicSettingDlg(m_appSettings, this, m_boxNames) != 1) return;
    m_settingInfo = m_appSettings.GetSettingInfo();
    m_bDeleteAfterSave = m_settingInfo.DeleteFile;
    UpdateData(FALSE);
    return;
  }
  if (RunBasicSettingDlg(m_appSettings, this, m_simpleBoxNames) != 1) return;
  RefreshSimpleView(FALSE);
}

}  // namespace tallow::app
