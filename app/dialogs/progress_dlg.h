// The progress window (template 206): the modal progress of a save, or a
// line of text while Simple Mode is prepared or the program starts.
#pragma once

#include <mutex>

#include "app/main_window/convert_dlg.h"
#include "platform/ui/dialog.h"

namespace tallow::app {

enum ProgressDlgMode {
  kProgressSave = 0,              // modal, once per save
  kProgressPreparingSimple = 1,   // modeless "Now Preparing Simple Mode"
  kProgressStarting = 2,          // modeless "Now Starting Application"
};

enum SaveFailureCode {
  kSaveDownloadFailed = 602,
  kSaveConvertFailed = 603,
};

class CProgressDlg : public ui::CDialog {
 public:
  // Modes 1 and 2 create their window at once; their users destroy it.
  CProgressDlg(int mode, ui::CDialog* parent);
  ~CProgressDlg() override;

  // Runs the save progress modally, always from the saving state: each run
  // forgets the last save when it returns, so that what the next save's
  // worker reports before the window opens is shown once it does.
  int DoModal();

  // Save worker (any thread). done <= last: pages done of the range;
  // done > last: the save has completed.
  void UpdateSaveProgress(int done, int last);
  // Save worker: the save failed (SaveFailureCode); the box, then the close.
  // After a cancel it changes nothing: the worker's final report closes.
  void ReportSaveFailure(int code);
  // Back to the state of a save that has reported nothing yet. DoModal does
  // it as it returns; the save road does it again once its worker is
  // joined, so that a report the worker made after the dialog ended does
  // not reach the next save.
  void ForgetSave();

  WString m_strStatus;
  ui::Control* m_btnOk = nullptr;
  ui::Control* m_btnCancel = nullptr;
  ui::Control* m_progress = nullptr;
  int m_nTotal = 100;  // the bar's upper bound
  int m_nMode;
  CConvertDlg* m_pOwner = nullptr;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(ui::CDataExchange* dx) override;
  void DeclareMessageMap(ui::MessageMap& map) override;
  // The cancel key asks the worker to stop, as the Cancel button does.
  void OnCancel() override;
  // WM_CLOSE: posted after a failure, or by the worker's final report after a
  // cancel, it ends the dialog with IDCANCEL; while the save runs it asks the
  // worker to stop instead.
  void OnClose() override;

 private:
  enum class Phase { kSaving, kCompleted, kFailed, kEnded };

  void OnBnClickedOk();
  void OnBnClickedCancel();
  // UI thread: shows the state reached so far.
  void ApplyState();
  void ShowCompletion();
  // Any thread: the failure box owned by this dialog, the status line, the
  // close request.
  void FinishFailure(int code);
  void SetStatus(const WString& text);

  std::mutex lock_;  // guards what follows; shared with the save worker
  Phase phase_ = Phase::kSaving;
  bool windowOpen_ = false;
  bool cancelAsked_ = false;
  bool failureHandled_ = false;  // its box shown or on its way
  int failureCode_ = 0;
  int done_ = 0;
  int last_ = 0;
  bool hasProgress_ = false;
};

}  // namespace tallow::app
