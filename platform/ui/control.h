// A control of a dialog, made from its template entry. Every operation may
// be called on any thread: off the UI thread it is carried there and waits,
// as a sent window message does.
#pragma once

#include "platform/edit_control.h"
#include "platform/text.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/ui_defs.h"

namespace tallow::ui {

class CDialog;

class Control : public IEditControl {
 public:
  Control(CDialog& parent, const ControlTemplate& tmpl);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  int GetDlgCtrlID() const { return id_; }
  ControlKind Kind() const { return kind_; }
  CDialog& Parent() const { return parent_; }
  // In dialog units, as the template places it.
  Rect GetRect() const;
  DWORD GetStyle() const;

  // IEditControl, and the text of any control. On an edit, setting the
  // text raises EN_CHANGE, as the other system's edits do.
  WString GetText() const override;
  void SetText(WStringView text) override;
  void GetSel(DWORD* start, DWORD* end) const override;
  void SetSel(DWORD start, DWORD end) override;
  void ScrollCaret() override {}

  bool IsVisible() const;
  void ShowWindow(int command);
  bool IsEnabled() const;
  void EnableWindow(bool enable);
  void SetFocus();

  // Buttons: BM_SETSTYLE (BS_DEFPUSHBUTTON / BS_PUSHBUTTON), check state.
  void SetButtonStyle(DWORD buttonStyle);
  bool IsDefaultButton() const;
  int GetCheck() const;
  void SetCheck(int state);

  // Edits.
  void SetLimitText(int maxChars);  // 0: no limit
  int GetLimitText() const;
  void SetReadOnly(bool readOnly);
  bool IsReadOnly() const;
  bool IsMasked() const;
  bool IsDigitsOnly() const;

  // Progress bars (PBM_SETRANGE32, PBM_GETRANGE, PBM_SETPOS).
  void SetRange32(int lower, int upper);
  void GetRange(int* lower, int* upper) const;
  int SetPos(int pos);  // returns the previous position
  int GetPos() const;

  // What the user does, as a back end reports it (UI thread): typing
  // replaces the selection and obeys read-only, digits-only and the limit.
  void InputType(WStringView typed);

 private:
  void Changed();

  CDialog& parent_;
  const int id_;
  const ControlKind kind_;
  Rect rect_;
  DWORD style_;
  WString text_;
  bool visible_;
  bool enabled_;
  int check_ = BST_UNCHECKED;
  int limit_ = 0;
  DWORD selStart_ = 0;
  DWORD selEnd_ = 0;
  int lower_ = 0;
  int upper_ = 100;
  int pos_ = 0;
};

}  // namespace tallow::ui
