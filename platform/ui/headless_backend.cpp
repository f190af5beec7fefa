#include "platform/ui/headless_backend.h"

#include "platform/ui/ui_thread.h"

namespace tallow::ui {

HeadlessBackend::HeadlessBackend() {
  AttachUiThread(this);
  InstallCursorBackend(this);
}

HeadlessBackend::~HeadlessBackend() {
  InstallCursorBackend(nullptr);
  DetachUiThread();
}

void HeadlessBackend::RunModalLoop(CDialog& dialog) {
  opened_.push_back(dialog.TemplateId());
  if (onDialog_) {
    // A copy: the handler may open a nested dialog that replaces it.
    DialogHandler handler = onDialog_;
    handler(dialog);
  }
  while (!dialog.IsEnded()) {
    if (RunOnePending()) continue;
    if (!WaitForPending(stallTimeout_)) {
      stalled_ = true;
      return;  // DoModal answers kModalFailed
    }
  }
}

int HeadlessBackend::ShowMessageBox(HWND owner, WStringView text, WStringView caption, UINT type) {
  MessageBoxRecord record{owner, WString(text), WString(caption), type, IDOK};
  if (onBox_) {
    BoxHandler handler = onBox_;
    record.answer = handler(record);
  }
  boxes_.push_back(record);
  return record.answer;
}

}  // namespace tallow::ui
