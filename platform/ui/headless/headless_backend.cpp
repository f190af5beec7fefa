#include "platform/ui/headless/headless_backend.h"

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
  bool handedOver = false;
  while (!dialog.IsEnded()) {
    if (RunOnePending()) continue;
    dialog.OnModalIdle();
    if (!handedOver) {
      handedOver = true;
      if (onDialog_ && !dialog.IsEnded()) {
        // A copy: the handler may open a nested dialog that replaces it.
        DialogHandler handler = onDialog_;
        handler(dialog);
      }
      continue;
    }
    if (onIdle_) {
      DialogHandler handler = onIdle_;
      handler(dialog);
      if (dialog.IsEnded()) break;
    }
    if (!WaitForPending(stallTimeout_)) {
      stalled_ = true;
      return;  // DoModal answers kModalFailed
    }
  }
}

void HeadlessBackend::PresentNow(CDialog& dialog) {
  if (!onPresent_) return;
  DialogHandler handler = onPresent_;
  handler(dialog);
}

HCURSOR HeadlessBackend::Cursor() const {
  std::lock_guard lock(cursorMutex_);
  return cursor_;
}

std::vector<HCURSOR> HeadlessBackend::CursorsShown() const {
  std::lock_guard lock(cursorMutex_);
  return cursorsShown_;
}

void HeadlessBackend::Show(HCURSOR cursor) {
  std::lock_guard lock(cursorMutex_);
  cursor_ = cursor;
  cursorsShown_.push_back(cursor);
}

int HeadlessBackend::ShowMessageBox(HWND owner, WStringView text, WStringView caption, UINT type) {
  MessageBoxRecord record{owner, WString(text), WString(caption), type, IDOK, CDialog::FromHandle(owner)};
  if (onBox_) {
    BoxHandler handler = onBox_;
    record.answer = handler(record);
  }
  boxes_.push_back(record);
  return record.answer;
}

int HeadlessBackend::TrackPopupMenu(const CMenu& menu, UINT /*flags*/, Point screen,
                                    CDialog* owner) {
  ++popups_;
  if (!onPopup_) return 0;
  PopupHandler handler = onPopup_;
  return handler(menu, screen, owner);
}

int HeadlessBackend::RunFileDialog(const FileDialogRequest& request, WString* path,
                                   int* filterIndex) {
  files_.push_back(request);
  if (!onFile_) return IDCANCEL;
  FileHandler handler = onFile_;
  return handler(request, path, filterIndex);
}

int HeadlessBackend::BrowseForFolder(HWND owner, WStringView /*title*/, WString* folder) {
  if (!onFolder_) return IDCANCEL;
  FolderHandler handler = onFolder_;
  return handler(owner, folder);
}

}  // namespace tallow::ui
