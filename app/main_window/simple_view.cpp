// The Simple view: one document at a time, the newest of the configured
// box first. Placeholders until the view is built: it will read the
// settings, list the box and show the newest document by date.
#include "app/main_window/main_dlg.h"

namespace tallow::app {

BOOL CMainDlg::RefreshSimpleView(BOOL /*fromDevice*/) { return TRUE; }

SimpleDocInfo CMainDlg::PickSimpleDocument() { return SimpleDocInfo{}; }

SimpleDocInfo CMainDlg::GetSimpleDocument(int /*index*/) { return SimpleDocInfo{}; }

void CMainDlg::ShowSimpleDocument(int /*index*/) {}

}  // namespace tallow::app
