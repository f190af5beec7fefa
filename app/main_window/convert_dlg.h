// The base of the main window that the save road adds: what the progress
// dialog calls when the user asks to cancel a save.
#pragma once

#include "platform/ui/dialog.h"

namespace tallow::app {

class CConvertDlg : public ui::CDialog {
 public:
  using ui::CDialog::CDialog;
  // UI thread: asks the save worker to stop after the page it is on.
  virtual void CancelConvert() = 0;
};

}  // namespace tallow::app
