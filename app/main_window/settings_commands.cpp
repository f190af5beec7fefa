// The Select MFP and Basic Settings commands of the menu bar. Placeholders
// until their dialogs are built: each will run its dialog and refresh the
// view of the current mode.
#include "app/main_window/main_dlg.h"

namespace tallow::app {

void CMainDlg::OnSelectMfp() {}

void CMainDlg::OnBasicSettings() {}

}  // namespace tallow::app
