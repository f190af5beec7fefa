// The base of the main window that the save road adds: what the progress
// dialog calls when the user asks to cancel a save, and the checks of a
// save's target files before anything is downloaded.
#pragma once

#include "convert/convertor.h"
#include "platform/ui/dialog.h"

namespace tallow::app {

class CConvertDlg : public ui::CDialog {
 public:
  using ui::CDialog::CDialog;
  // UI thread: asks the save worker to stop after the page it is on.
  virtual void CancelConvert() = 0;

  // Whether |job| may write its output files: their folder takes a file
  // and a name as long as the longest of them (a message box owned by
  // |owner| says why not), and the user agrees to replace the first of
  // them that exists, which stands for all.
  BOOL CheckSaveTargets(IConvertor* job, ui::CDialog* owner);
};

}  // namespace tallow::app
