#include "app/dialogs/progress_dlg.h"

#include "core/dialog_texts.h"
#include "core/texts.h"
#include "platform/ui/ui_thread.h"
#include "res/resource_ids.h"

namespace tallow::app {

using namespace tallow::res;
using namespace tallow::ui;

namespace {

WString ProgressText(std::int32_t id) {
  return FindTableText(ProgressTextTable(), id).value_or(WString());
}

// The downloads fill at most 90 of the bar's steps; the product is formed
// first, wide enough not to overflow.
int BarPosition(int done, int last) {
  if (last <= 0 || done <= 0) return 0;
  return static_cast<int>(90LL * done / last);
}

}  // namespace

CProgressDlg::CProgressDlg(int mode, CDialog* parent) : CDialog(res::IDD_PROGRESS, parent), m_nMode(mode) {
  // The window of modes 1 and 2 shows its own line from its first paint
  // (OnInitDialog): made visible, it is on the screen when Create returns.
  if (mode == kProgressPreparingSimple || mode == kProgressStarting) Create(parent);
}

CProgressDlg::~CProgressDlg() {
  m_pOwner = nullptr;
  DestroyWindow();
}

void CProgressDlg::ForgetSave() {
  std::lock_guard lock(lock_);
  phase_ = Phase::kSaving;
  windowOpen_ = false;
  cancelAsked_ = false;
  failureHandled_ = false;
  failureCode_ = 0;
  done_ = last_ = 0;
  hasProgress_ = false;
}

int CProgressDlg::DoModal() {
  const int result = CDialog::DoModal();
  // Not at the start of the next run: its worker starts before the window
  // opens, and what it reports until then must count.
  ForgetSave();
  return result;
}

void CProgressDlg::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, IDC_PROGRESS_STATUS, m_strStatus);
  DDX_Control(dx, IDC_PROGRESS_OK, m_btnOk);
  DDX_Control(dx, IDC_PROGRESS_CANCEL, m_btnCancel);
  DDX_Control(dx, IDC_PROGRESS_BAR, m_progress);
}

void CProgressDlg::DeclareMessageMap(MessageMap& map) {
  map.OnClicked(IDC_PROGRESS_OK, this, &CProgressDlg::OnBnClickedOk);
  map.OnClicked(IDC_PROGRESS_CANCEL, this, &CProgressDlg::OnBnClickedCancel);
}

BOOL CProgressDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetDlgItemTexts(kProgressDlgTexts, *this);
  if (CMenu* system = GetSystemMenu(FALSE)) system->EnableMenuItem(SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  const bool saving = m_nMode == kProgressSave;
  if (Control* ok = GetDlgItem(IDC_PROGRESS_OK)) ok->EnableWindow(false);
  if (Control* cancel = GetDlgItem(IDC_PROGRESS_CANCEL)) cancel->EnableWindow(saving);
  if (Control* bar = GetDlgItem(IDC_PROGRESS_BAR)) {
    bar->SetRange32(0, m_nTotal);
    if (!saving) bar->ShowWindow(SW_HIDE);
  }
  // Each mode's line before the window is first shown: a line of another
  // mode would be seen for a moment.
  switch (m_nMode) {
    case kProgressPreparingSimple: m_strStatus = ProgressText(15002); break;
    case kProgressStarting: m_strStatus = ProgressText(15001); break;
    default: m_strStatus = ProgressText(15003); break;
  }
  UpdateData(FALSE);
  if (!saving) return TRUE;

  // What the worker reported before the window existed shows now.
  bool failurePending = false;
  int code = 0;
  {
    std::lock_guard lock(lock_);
    windowOpen_ = true;
    if (phase_ == Phase::kFailed && !failureHandled_) {
      failureHandled_ = true;
      failurePending = true;
      code = failureCode_;
    }
  }
  ApplyState();
  if (failurePending) {
    const HWND hwnd = GetSafeHwnd();
    PostToUi([hwnd, code] {
      if (auto* self = static_cast<CProgressDlg*>(FromHandle(hwnd))) self->FinishFailure(code);
    });
  }
  return TRUE;
}

void CProgressDlg::ApplyState() {
  if (!GetSafeHwnd()) return;
  Phase phase;
  int done, last;
  bool hasProgress;
  {
    std::lock_guard lock(lock_);
    phase = phase_;
    done = done_;
    last = last_;
    hasProgress = hasProgress_;
  }
  switch (phase) {
    case Phase::kSaving:
      if (hasProgress) {
        if (Control* bar = GetDlgItem(IDC_PROGRESS_BAR)) bar->SetPos(BarPosition(done, last));
      }
      break;
    case Phase::kCompleted:
      ShowCompletion();
      break;
    case Phase::kEnded:
      PostMessageW(WM_CLOSE);
      break;
    case Phase::kFailed:
      break;  // FinishFailure has it in hand
  }
}

void CProgressDlg::ShowCompletion() {
  if (Control* bar = GetDlgItem(IDC_PROGRESS_BAR)) {
    int lower = 0, upper = 0;
    bar->GetRange(&lower, &upper);
    bar->SetPos(upper);
  }
  SetStatus(ProgressText(15004));
  Control* ok = GetDlgItem(IDC_PROGRESS_OK);
  Control* cancel = GetDlgItem(IDC_PROGRESS_CANCEL);
  if (ok) ok->EnableWindow(true);
  if (cancel) cancel->EnableWindow(false);
  if (ok) ok->SetButtonStyle(BS_DEFPUSHBUTTON);
  if (cancel) cancel->SetButtonStyle(BS_PUSHBUTTON);
  if (ok) ok->SetFocus();
}

void CProgressDlg::SetStatus(const WString& text) {
  // The member is written on the UI thread only, where the data exchange
  // reads it.
  CallOnUi([&] {
    m_strStatus = text;
    SetDlgItemText(IDC_PROGRESS_STATUS, m_strStatus);
  });
}

void CProgressDlg::UpdateSaveProgress(int done, int last) {
  bool open;
  {
    std::lock_guard lock(lock_);
    if (phase_ != Phase::kSaving) return;
    if (done > last) {
      // A completion the user has asked to cancel closes without the
      // completion display, as a cancel seen by the worker would.
      phase_ = cancelAsked_ ? Phase::kEnded : Phase::kCompleted;
    } else {
      if (cancelAsked_) return;  // the bar stays where the cancel found it
      done_ = done;
      last_ = last;
      hasProgress_ = true;
    }
    open = windowOpen_;
  }
  if (open) CallOnUi([this] { ApplyState(); });
}

void CProgressDlg::ReportSaveFailure(int code) {
  bool open;
  {
    std::lock_guard lock(lock_);
    // A cancelled save shows no failure: the worker's final report closes
    // the dialog.
    if (phase_ != Phase::kSaving || cancelAsked_) return;
    phase_ = Phase::kFailed;
    failureCode_ = code;
    open = windowOpen_;
    if (open) failureHandled_ = true;
  }
  if (open) FinishFailure(code);
}

void CProgressDlg::FinishFailure(int code) {
  bool showBox;
  {
    std::lock_guard lock(lock_);
    // The user asked to stop meanwhile: no box for a save given up.
    showBox = !cancelAsked_;
  }
  if (showBox && code == kSaveDownloadFailed) {
    MessageBox(MessageText(21004), MessageText(20001), MB_ICONERROR);
  } else if (showBox && code == kSaveConvertFailed) {
    MessageBox(MessageText(21005), MessageText(20002), MB_ICONERROR);
  }
  SetStatus(MessageText(21005));
  PostMessageW(WM_CLOSE);
}

void CProgressDlg::OnBnClickedOk() { CDialog::OnOK(); }

void CProgressDlg::OnBnClickedCancel() {
  {
    std::lock_guard lock(lock_);
    if (cancelAsked_) return;
    cancelAsked_ = true;
  }
  if (m_pOwner) m_pOwner->CancelConvert();
  if (Control* cancel = GetDlgItem(IDC_PROGRESS_CANCEL)) cancel->EnableWindow(false);
}

void CProgressDlg::OnCancel() {
  // The cancel key never ends a save dialog by itself: the worker would run
  // on unobserved. It counts as the Cancel button, while that is enabled.
  if (m_nMode != kProgressSave) return;
  Control* cancel = GetDlgItem(IDC_PROGRESS_CANCEL);
  if (cancel && cancel->IsEnabled()) OnBnClickedCancel();
}

void CProgressDlg::OnClose() {
  if (m_nMode != kProgressSave) return;
  bool ends;
  {
    std::lock_guard lock(lock_);
    // After a cancel the close request is the worker's final report.
    ends = phase_ == Phase::kFailed || phase_ == Phase::kEnded || cancelAsked_;
  }
  if (ends) {
    EndDialog(IDCANCEL);
  } else {
    OnCancel();
  }
}

}  // namespace tallow::app
