// Dialogs in the style of the other system's class library: made from a
// template, with controls by id, data exchange between controls and
// members, a message map from control ids and notifications to handlers,
// and a modal loop that ends with a result.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "platform/dialog_window.h"
#include "platform/ui/backend.h"
#include "platform/ui/control.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/menu.h"
#include "platform/ui/paint.h"
#include "platform/ui/ui_defs.h"

namespace tallow::ui {

class CDialog;

// Handlers by control id and notification code: WM_COMMAND (buttons, edits,
// menu commands with code 0) and WM_NOTIFY (list and tree views); and by
// message number for any other message (WM_APP + n, WM_ICONERASEBKGND, ...),
// which then goes to its handler instead of the dialog's own handling. A
// command without an entry gets the dialog's default handling.
class MessageMap {
 public:
  using NotifyHandler = std::function<void(NMHDR*, LRESULT*)>;
  using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;

  void OnCommand(int id, int code, std::function<void()> handler) {
    commands_.push_back({id, code, std::move(handler)});
  }
  template <class D>
  void OnCommand(int id, int code, D* self, void (D::*handler)()) {
    OnCommand(id, code, [self, handler] { (self->*handler)(); });
  }
  template <class D>
  void OnClicked(int id, D* self, void (D::*handler)()) {
    OnCommand(id, BN_CLICKED, self, handler);
  }
  // A menu command (WM_COMMAND with code 0).
  template <class D>
  void OnMenuCommand(int id, D* self, void (D::*handler)()) {
    OnCommand(id, 0, self, handler);
  }
  void OnNotify(int id, int code, NotifyHandler handler) {
    notifies_.push_back({id, code, std::move(handler)});
  }
  template <class D>
  void OnNotify(int id, int code, D* self, void (D::*handler)(NMHDR*, LRESULT*)) {
    OnNotify(id, code, [self, handler](NMHDR* h, LRESULT* r) { (self->*handler)(h, r); });
  }
  void OnMessage(UINT message, MessageHandler handler) {
    messages_.push_back({static_cast<int>(message), 0, std::move(handler)});
  }
  template <class D>
  void OnMessage(UINT message, D* self, LRESULT (D::*handler)(WPARAM, LPARAM)) {
    OnMessage(message, [self, handler](WPARAM w, LPARAM l) { return (self->*handler)(w, l); });
  }
  // The handler of (id, code), or null.
  const std::function<void()>* Find(int id, int code) const;
  const NotifyHandler* FindNotify(int id, int code) const;
  const MessageHandler* FindMessage(UINT message) const;
  void Clear() {
    commands_.clear();
    notifies_.clear();
    messages_.clear();
  }

 private:
  template <class H>
  struct Entry {
    int id;
    int code;
    H handler;
  };
  std::vector<Entry<std::function<void()>>> commands_;
  std::vector<Entry<NotifyHandler>> notifies_;
  std::vector<Entry<MessageHandler>> messages_;  // by message number
};

// One run of DoDataExchange. A failed validation shows its message, puts the
// focus on the control and makes the rest of the run do nothing, so that
// UpdateData answers FALSE; nothing is thrown.
class CDataExchange {
 public:
  CDataExchange(CDialog* dialog, BOOL saveAndValidate)
      : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  // The control of |id|, remembered as the one a failure points at; null
  // when the run has failed or the dialog lacks it.
  Control* PrepareCtrl(int id);
  void Fail(const WString& message);
  bool Failed() const { return failed_; }
  // The control most recently prepared, or null.
  Control* LastControl() const;

  CDialog* const m_pDlgWnd;
  const BOOL m_bSaveAndValidate;

 private:
  int lastControlId_ = 0;
  bool failed_ = false;
};

void DDX_Text(CDataExchange* dx, int id, WString& value);
// An integer, optionally signed, surrounded by blanks at most; anything else
// fails with "Please enter an integer.".
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
// The radio group that starts at |firstId| (up to the next control with
// WS_GROUP): the index among its radio buttons of the one checked, -1 none.
void DDX_Radio(CDataExchange* dx, int firstId, int& value);
// The selected row of a combo box, -1 none.
void DDX_CBIndex(CDataExchange* dx, int id, int& value);
// Saving: fails when |value| is longer than |maxChars|. Loading: sets the
// limit on the control last exchanged.
void DDV_MaxChars(CDataExchange* dx, const WString& value, int maxChars);
// Binds a member to the control of |id|; null when the dialog has no such
// control or it is of another kind.
void DDX_Control(CDataExchange* dx, int id, Control*& control);
template <class T>
void DDX_Control(CDataExchange* dx, int id, T*& control) {
  Control* c = nullptr;
  DDX_Control(dx, id, c);
  control = dynamic_cast<T*>(c);
}

class CDialog : public DialogWindow {
 public:
  explicit CDialog(int templateId, CDialog* parent = nullptr);
  explicit CDialog(const DialogTemplate& tmpl, CDialog* parent = nullptr);
  ~CDialog() override;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Makes the window, runs OnInitDialog and the back end's modal loop, and
  // answers what EndDialog was given; kModalFailed without a template or a
  // back end, or while the window already exists. The window shows when the
  // loop first finds nothing queued, unless the dialog has ended by then.
  int DoModal();
  // Modeless: makes the window and runs OnInitDialog; a window made visible
  // is on the screen, painted, when this returns.
  bool Create(CDialog* parent = nullptr);
  void DestroyWindow();
  // Ends the modal loop with |result| once the current handler returns.
  void EndDialog(int result);

  // The window's handle while it exists, else null; each making of the
  // window gives it a new one.
  HWND GetSafeHwnd() const { return hwnd_; }
  static CDialog* FromHandle(HWND hwnd);
  int TemplateId() const { return template_ ? template_->id : 0; }
  const DialogTemplate* Template() const { return template_; }
  bool IsModal() const { return modal_; }
  bool IsEnded() const { return ended_; }
  CDialog* GetParent() const { return parent_; }
  // The window that owns this one while it exists: its parent, or, for a
  // modal dialog made without one, the main window of the moment. Null for
  // a window without an owner.
  CDialog* GetOwner() const { return owner_; }
  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }

  Control* GetDlgItem(int id) const;
  void SetDlgItemText(int id, WStringView text);
  WString GetDlgItemText(int id) const;
  void SetWindowText(WStringView caption);
  WString GetWindowText() const;
  void ShowWindow(int command);
  bool IsWindowVisible() const;
  void EnableWindow(bool enable);
  bool IsWindowEnabled() const;
  void SetForegroundWindow();
  void GotoDlgCtrl(Control* control);
  Control* GetFocus() const;
  int GetFocusId() const;
  void SetFocusId(int id);
  // The button Enter presses: the one drawn as default, else IDOK.
  int GetDefID() const;
  // DM_SETDEFID: |id| becomes the default button, the old one a plain one.
  void SetDefID(int id);
  // WM_SETICON.
  HICON SetIcon(HICON icon, BOOL big);
  HICON GetIcon(BOOL big) const;

  // The menu bar made from the template's menu (null when it has none), and
  // DrawMenuBar, which shows its changes.
  CMenu* GetMenu() const { return menu_.get(); }
  void DrawMenuBar();
  // The system menu: Move, Minimise, Close, and what the dialog appends.
  CMenu* GetSystemMenu(BOOL revert);
  // Shorthands for the system menu's Close entry; grayed, the close box does nothing.
  void EnableCloseCommand(bool enable);
  bool IsCloseCommandEnabled() const;

  // Placement, in screen pixels. A minimised window lies wholly at negative
  // coordinates; moving it sets where it comes back to.
  Rect GetWindowRect() const;
  Rect GetClientRect() const;
  void MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE);
  // Over the owner (or |alternateOwner|) when that is shown, else in the
  // work area; a minimised or hidden window goes to the work area.
  void CenterWindow(CDialog* alternateOwner = nullptr);
  bool IsIconic() const;
  void ClientToScreen(Point* point) const;
  void ScreenToClient(Point* point) const;

  // Painting: Invalidate queues a WM_PAINT (OnPaint) for when the queue
  // gets to it; erasing clears what was drawn in the dialog and its controls.
  void Invalidate(BOOL erase = TRUE);
  void UpdateWindow();  // paints now when a paint is due
  const Surface& GetSurface() const { return surface_; }
  Surface& MutableSurface() { return surface_; }

  // FALSE when a validation failed.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  // Queued for the UI thread, through WindowProc; dropped if the window is
  // gone by then. FALSE when there is no window.
  BOOL PostMessageW(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // Handled through WindowProc on the UI thread before it returns, with
  // the handler's result; 0 when there is no window.
  LRESULT SendMessageW(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  int MessageBox(WStringView text, WStringView caption, UINT type);

  // DialogWindow, for the text tables.
  void SetCaption(WStringView text) override { SetWindowText(text); }
  bool HasControl(int controlId) const override { return GetDlgItem(controlId) != nullptr; }
  void SetControlText(int controlId, WStringView text) override {
    SetDlgItemText(controlId, text);
  }

  // What the user does, as a back end reports it (UI thread). Input to a
  // disabled control or window is ignored.
  void InputType(int id, WStringView text);
  void InputClick(int id);
  void InputKey(WPARAM key);  // goes through PreTranslateMessage
  void InputEscape() { InputKey(VK_ESCAPE); }
  void InputEnter() { InputKey(VK_RETURN); }
  void InputCloseBox();
  void InputMenuCommand(int id);   // an enabled item of the menu bar
  void InputSysCommand(UINT id);   // an enabled item of the system menu
  void InputMinimize() { InputSysCommand(SC_MINIMIZE); }
  void InputRestore() { InputSysCommand(SC_RESTORE); }
  void InputMoved(int x, int y);   // the user dragged the window

  // Dispatch (UI thread).
  void OnCommand(int id, int code);
  LRESULT SendNotify(NMHDR& header);
  // Every message sent or posted to the dialog: an entry of the message map
  // for it, else the dialog's own handlers (WM_CLOSE, WM_SYSCOMMAND,
  // WM_PAINT, WM_SIZE, WM_COMMAND, WM_QUERYDRAGICON), else DefWindowProc.
  // A dialog may override it to take any message, calling this for the rest.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // The handling of a message nobody took: WM_ICONERASEBKGND erases what
  // was drawn in the dialog; anything else does nothing and answers 0.
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Called by the modal loop when nothing is queued.
  void OnModalIdle();

 protected:
  // The base loads the members into the controls (UpdateData(FALSE)).
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange*) {}
  virtual void DeclareMessageMap(MessageMap&) {}
  // OnOK: UpdateData(TRUE), then IDOK when it succeeded. OnCancel: IDCANCEL.
  virtual void OnOK();
  virtual void OnCancel();
  // WM_CLOSE: as IDCANCEL.
  virtual void OnClose();
  // Keys before the dialog's own handling; TRUE: taken. The base is the
  // dialog manager: Enter presses the default button, Esc is IDCANCEL.
  virtual BOOL PreTranslateMessage(MSG* msg);
  BOOL IsDialogMessage(MSG* msg);
  // WM_SYSCOMMAND; the base moves, minimises, restores and closes.
  virtual void OnSysCommand(UINT id, LPARAM param);
  virtual void OnPaint() {}
  virtual void OnSize(UINT /*type*/, int /*cx*/, int /*cy*/) {}
  virtual HICON OnQueryDragIcon() { return 0; }

 private:
  bool MakeWindow(CDialog* parent, bool modal);
  void DestroyNow();
  void SetPlacement(const Rect& rect);
  void Minimize();
  void Restore();
  void SendSize();
  void BindBuddies();
  bool Created() const { return hwnd_ != nullptr; }

  const DialogTemplate* template_;
  CDialog* parent_;
  CDialog* owner_ = nullptr;
  std::vector<std::unique_ptr<Control>> controls_;
  MessageMap map_;
  std::unique_ptr<CMenu> menu_;
  std::unique_ptr<CMenu> systemMenu_;
  WString caption_;
  // Null while there is no window; read by GetSafeHwnd on any thread.
  std::atomic<HWND> hwnd_{nullptr};
  bool modal_ = false;
  bool ended_ = false;
  bool visible_ = false;
  bool shownOnce_ = false;
  bool enabled_ = true;
  bool iconic_ = false;
  bool paintPending_ = false;
  int result_ = 0;
  int focusId_ = 0;
  HICON bigIcon_ = 0;
  HICON smallIcon_ = 0;
  Rect windowRect_;   // screen pixels, when not minimised
  FrameMetrics frame_;
  Surface surface_;
};

// Queued for the UI thread, through the WindowProc of the window |hwnd|
// names; dropped if that window is gone by then, even when another window
// has been made at its address. FALSE when |hwnd| names no window.
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// The application's main window, as the other system's class library keeps
// it: a file dialog opened without a parent is owned by it. The layer
// forgets it when that window's object goes, so it never names a window
// that is gone. Null: none.
void SetMainWindow(CDialog* window);
CDialog* GetMainWindow();

// While a modal window runs (a dialog, a message box, a file or folder
// chooser) its owner takes no input: |owner|, or, when it has none and
// |mainIfNone|, the main window. The owner is enabled again when the scope
// ends if it was enabled when it began and still exists. UI thread only.
class ModalOwnerScope {
 public:
  explicit ModalOwnerScope(HWND owner, bool mainIfNone = true);
  ~ModalOwnerScope();
  ModalOwnerScope(const ModalOwnerScope&) = delete;
  ModalOwnerScope& operator=(const ModalOwnerScope&) = delete;
  // The owner taken, null for none.
  HWND Owner() const { return owner_; }

 private:
  HWND owner_ = nullptr;
  bool disabled_ = false;
};

// The work area of the screen (SystemParametersInfo SPI_GETWORKAREA).
Rect GetWorkArea();
// The screen position of the message being handled, and of the cursor; the
// layer takes both from the user's last pointing input.
Point GetMessagePos();
Point GetCursorPos();
void SetMessagePos(Point screen);

}  // namespace tallow::ui
