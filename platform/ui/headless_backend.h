// The back end without a screen: windows live only in the layer's memory and
// the test plays the user. Each modal dialog and message box, as it opens,
// goes to the test's handler, which acts on it on the UI thread; a dialog
// that is still open afterwards keeps running its loop on posted calls.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include "platform/cursor.h"
#include "platform/ui/backend.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

struct MessageBoxRecord {
  HWND owner;
  WString text;
  WString caption;
  UINT type;
  int answer;
};

class HeadlessBackend : public UiBackend, public CursorBackend {
 public:
  using DialogHandler = std::function<void(CDialog&)>;
  using BoxHandler = std::function<int(const MessageBoxRecord&)>;

  // Attaches the calling thread as the UI thread; the destructor detaches.
  HeadlessBackend();
  ~HeadlessBackend() override;
  HeadlessBackend(const HeadlessBackend&) = delete;
  HeadlessBackend& operator=(const HeadlessBackend&) = delete;

  // Called on each modal dialog once it is initialised.
  void OnDialog(DialogHandler handler) { onDialog_ = std::move(handler); }
  // Answers each message box; without one every box answers IDOK.
  void OnMessageBox(BoxHandler handler) { onBox_ = std::move(handler); }
  // How long a modal loop waits for a queued call before it gives up with
  // kModalFailed, so that a test never hangs.
  void SetStallTimeout(std::chrono::milliseconds timeout) { stallTimeout_ = timeout; }

  // Runs the queued calls (those of a window that is not modal, say).
  int RunPosted() { return RunPending(); }

  const std::vector<MessageBoxRecord>& MessageBoxes() const { return boxes_; }
  // Template ids of the modal dialogs, in the order they opened.
  const std::vector<int>& OpenedDialogs() const { return opened_; }
  bool Stalled() const { return stalled_; }
  HCURSOR Cursor() const { return cursor_; }

  // UiBackend
  void RunModalLoop(CDialog& dialog) override;
  int ShowMessageBox(HWND owner, WStringView text, WStringView caption, UINT type) override;
  // CursorBackend
  void Show(HCURSOR cursor) override { cursor_ = cursor; }

 private:
  DialogHandler onDialog_;
  BoxHandler onBox_;
  std::chrono::milliseconds stallTimeout_{10000};
  std::vector<MessageBoxRecord> boxes_;
  std::vector<int> opened_;
  bool stalled_ = false;
  HCURSOR cursor_ = kNoCursor;
};

}  // namespace tallow::ui
