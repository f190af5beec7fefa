// The save road: a document's pages downloaded by a worker into the save
// folder and handed to a writer, with the progress dialog. Placeholders
// until the road is built, but for the Simple view's Exit button and the
// idle state of the save context.
#include "app/main_window/main_dlg.h"

namespace tallow::app {

void ConvertThreadContext::Reset() {
  bCancel = FALSE;
  nStatus = kConvertFinished;
  nCurrent = 0;
  nTotal = 0;
  pfnCallback = nullptr;
  pOwner = nullptr;
  pThread = nullptr;
  pJob = nullptr;
  nDocIndex = -1;
}

void CMainDlg::OnOK() {}

void CMainDlg::CancelConvert() {}

void CMainDlg::SaveAdvanced() {}

void CMainDlg::SaveSimple() {}

int CMainDlg::AskSaveFileName(WString& /*path*/, BOOL /*mono*/, int /*format*/, int& /*type*/) {
  return IDCANCEL;
}

BOOL CMainDlg::RunConvertThread(int /*docIndex*/, IConvertor* /*job*/) { return FALSE; }

UINT CMainDlg::SaveThreadProc(void* context) { return context ? 0 : 1; }

void CMainDlg::ConvertProgressCallback(CMainDlg* /*owner*/) {}

void CMainDlg::OnBnClickedExitSimple() { OnCancel(); }

}  // namespace tallow::app
