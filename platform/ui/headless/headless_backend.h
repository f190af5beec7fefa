// The back end without a screen: windows live only in the layer's memory and
// the test plays the user. Each modal dialog, message box, file dialog,
// folder browser and popup menu, as it opens, goes to the test's handler,
// which acts on it on the UI thread; a dialog that is still open afterwards
// keeps running its loop on posted calls.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/cursor.h"
#include "platform/ui/backend.h"
#include "platform/ui/dialog.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/menu.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

struct MessageBoxRecord {
  HWND owner;
  WString text;
  WString caption;
  UINT type;
  int answer;
  // The window |owner| named as the box opened; null for none. A handle
  // names nothing once its window is gone, so that a test asks this.
  const CDialog* ownerWindow = nullptr;
};

class HeadlessBackend : public UiBackend, public CursorBackend {
 public:
  using DialogHandler = std::function<void(CDialog&)>;
  using BoxHandler = std::function<int(const MessageBoxRecord&)>;
  // Answers IDOK with the path typed and the filter chosen, or IDCANCEL.
  using FileHandler = std::function<int(const FileDialogRequest&, WString* path, int* filterIndex)>;
  using FolderHandler = std::function<int(HWND owner, WString* folder)>;
  // The command chosen, 0 for none.
  using PopupHandler = std::function<int(const CMenu&, Point screen, CDialog* owner)>;

  // Attaches the calling thread as the UI thread; the destructor detaches.
  HeadlessBackend();
  ~HeadlessBackend() override;
  HeadlessBackend(const HeadlessBackend&) = delete;
  HeadlessBackend& operator=(const HeadlessBackend&) = delete;

  // Called on each modal dialog once it is initialised and shown, that is
  // when its loop first finds nothing queued.
  void OnDialog(DialogHandler handler) { onDialog_ = std::move(handler); }
  // Called on a modal dialog, after it was handed to OnDialog's handler,
  // each time its loop has run every queued call and finds none left: the
  // test's turn to act on what a worker's calls have shown (a save
  // completed, say) before the loop waits for the next one.
  void OnIdle(DialogHandler handler) { onIdle_ = std::move(handler); }
  // Called on each modeless window when it is first put on the screen, at
  // the end of its Create: what it shows first.
  void OnPresent(DialogHandler handler) { onPresent_ = std::move(handler); }
  // Answers each message box; without one every box answers IDOK.
  void OnMessageBox(BoxHandler handler) { onBox_ = std::move(handler); }
  // Without these, file dialogs, folder browsers and popup menus are cancelled.
  void OnFileDialog(FileHandler handler) { onFile_ = std::move(handler); }
  void OnFolderDialog(FolderHandler handler) { onFolder_ = std::move(handler); }
  void OnPopupMenu(PopupHandler handler) { onPopup_ = std::move(handler); }
  // How long a modal loop waits for a queued call before it gives up with
  // kModalFailed, so that a test never hangs.
  void SetStallTimeout(std::chrono::milliseconds timeout) { stallTimeout_ = timeout; }
  void SetWorkArea(const Rect& area) { workArea_ = area; }

  // Runs the queued calls (those of a window that is not modal, say).
  int RunPosted() { return RunPending(); }

  const std::vector<MessageBoxRecord>& MessageBoxes() const { return boxes_; }
  const std::vector<FileDialogRequest>& FileDialogs() const { return files_; }
  // Template ids of the modal dialogs, in the order they opened.
  const std::vector<int>& OpenedDialogs() const { return opened_; }
  int PopupMenusShown() const { return popups_; }
  bool Stalled() const { return stalled_; }
  HCURSOR Cursor() const;
  // Every cursor shown, in order (a worker's wait cursor included).
  std::vector<HCURSOR> CursorsShown() const;

  // UiBackend
  void RunModalLoop(CDialog& dialog) override;
  void PresentNow(CDialog& dialog) override;
  int ShowMessageBox(HWND owner, WStringView text, WStringView caption, UINT type) override;
  Rect WorkArea() override { return workArea_; }
  int TrackPopupMenu(const CMenu& menu, UINT flags, Point screen, CDialog* owner) override;
  int RunFileDialog(const FileDialogRequest& request, WString* path, int* filterIndex) override;
  int BrowseForFolder(HWND owner, WStringView title, WString* folder) override;
  // CursorBackend
  void Show(HCURSOR cursor) override;

 private:
  DialogHandler onDialog_;
  DialogHandler onIdle_;
  DialogHandler onPresent_;
  BoxHandler onBox_;
  FileHandler onFile_;
  FolderHandler onFolder_;
  PopupHandler onPopup_;
  std::chrono::milliseconds stallTimeout_{10000};
  Rect workArea_ = kPlainWorkArea;
  std::vector<MessageBoxRecord> boxes_;
  std::vector<FileDialogRequest> files_;
  std::vector<int> opened_;
  int popups_ = 0;
  bool stalled_ = false;
  mutable std::mutex cursorMutex_;  // a save worker shows its wait cursor too
  HCURSOR cursor_ = kNoCursor;
  std::vector<HCURSOR> cursorsShown_;
};

}  // namespace tallow::ui
