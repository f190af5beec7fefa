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
#include "platform/ui/control.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/ui_defs.h"

namespace tallow::ui {

class CDialog;

// Handlers by control id and notification code (WM_COMMAND). A command
// without an entry gets the dialog's default handling.
class MessageMap {
 public:
  void OnCommand(int id, int code, std::function<void()> handler) {
    entries_.push_back({id, code, std::move(handler)});
  }
  template <class D>
  void OnCommand(int id, int code, D* self, void (D::*handler)()) {
    OnCommand(id, code, [self, handler] { (self->*handler)(); });
  }
  template <class D>
  void OnClicked(int id, D* self, void (D::*handler)()) {
    OnCommand(id, BN_CLICKED, self, handler);
  }
  // The handler of (id, code), or null.
  const std::function<void()>* Find(int id, int code) const;
  void Clear() { entries_.clear(); }

 private:
  struct Entry {
    int id;
    int code;
    std::function<void()> handler;
  };
  std::vector<Entry> entries_;
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
// Saving: fails when |value| is longer than |maxChars|. Loading: sets the
// limit on the control last exchanged.
void DDV_MaxChars(CDataExchange* dx, const WString& value, int maxChars);
// Binds a member to the control of |id|.
void DDX_Control(CDataExchange* dx, int id, Control*& control);

class CDialog : public DialogWindow {
 public:
  explicit CDialog(int templateId, CDialog* parent = nullptr);
  explicit CDialog(const DialogTemplate& tmpl, CDialog* parent = nullptr);
  ~CDialog() override;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Makes the window, runs OnInitDialog and the back end's modal loop, and
  // answers what EndDialog was given; kModalFailed without a template or a
  // back end, or while the window already exists.
  int DoModal();
  // Modeless: makes the window and runs OnInitDialog.
  bool Create(CDialog* parent = nullptr);
  void DestroyWindow();
  // Ends the modal loop with |result| once the current handler returns.
  void EndDialog(int result);

  HWND GetSafeHwnd() const { return created_ ? const_cast<CDialog*>(this) : nullptr; }
  static CDialog* FromHandle(HWND hwnd);
  int TemplateId() const { return template_ ? template_->id : 0; }
  const DialogTemplate* Template() const { return template_; }
  bool IsModal() const { return modal_; }
  bool IsEnded() const { return ended_; }
  CDialog* GetParent() const { return parent_; }

  Control* GetDlgItem(int id) const;
  void SetDlgItemText(int id, WStringView text);
  WString GetDlgItemText(int id) const;
  void SetWindowText(WStringView caption);
  WString GetWindowText() const;
  void ShowWindow(int command);
  bool IsWindowVisible() const;
  void EnableWindow(bool enable);
  bool IsWindowEnabled() const;
  void GotoDlgCtrl(Control* control);
  int GetFocusId() const;
  void SetFocusId(int id);
  // The button Enter presses: the one drawn as default, else IDOK.
  int GetDefID() const;
  // The system menu's Close entry (EnableMenuItem of SC_CLOSE); grayed, the
  // close box does nothing.
  void EnableCloseCommand(bool enable);
  bool IsCloseCommandEnabled() const;

  // FALSE when a validation failed.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  // Queued for the UI thread; dropped if the window is gone by then.
  void PostMessageW(UINT message);
  // Handled on the UI thread before it returns.
  void SendMessageW(UINT message);
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
  void InputEscape();  // IDCANCEL, as the other system's dialog manager
  void InputEnter();   // the default button
  void InputCloseBox();

  // Dispatch (UI thread).
  void OnCommand(int id, int code);
  void WindowProc(UINT message);

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

 private:
  bool MakeWindow(CDialog* parent);
  void DestroyNow();

  const DialogTemplate* template_;
  CDialog* parent_;
  std::vector<std::unique_ptr<Control>> controls_;
  MessageMap map_;
  WString caption_;
  // Read by GetSafeHwnd on any thread.
  std::atomic<bool> created_{false};
  bool modal_ = false;
  bool ended_ = false;
  bool visible_ = false;
  bool enabled_ = true;
  bool closeEnabled_ = true;
  int result_ = 0;
  int focusId_ = 0;
};

}  // namespace tallow::ui
