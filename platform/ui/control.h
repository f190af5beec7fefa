// The controls of a dialog, made from their template entries. Every
// operation may be called on any thread: off the UI thread it is carried
// there and waits, as a sent window message does.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/edit_control.h"
#include "platform/text.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/paint.h"
#include "platform/ui/ui_defs.h"

namespace tallow::ui {

class CDialog;
class CImageList;

class Control : public IEditControl {
 public:
  Control(CDialog& parent, const ControlTemplate& tmpl);
  ~Control() override = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  int GetDlgCtrlID() const { return id_; }
  ControlKind Kind() const { return kind_; }
  CDialog& Parent() const { return parent_; }
  HWND GetSafeHwnd() const { return const_cast<Control*>(this); }
  // In dialog units, as the template places it.
  Rect GetRect() const;
  DWORD GetStyle() const;

  // Pixels: where it stands in the dialog's client area, on the screen, and
  // its own client area (inside a border).
  Rect GetPixelRect() const;
  Rect GetWindowRect() const;
  Rect GetClientRect() const;
  void ScreenToClient(Point* point) const;
  void ClientToScreen(Point* point) const;

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

  // Buttons: BM_SETSTYLE (BS_DEFPUSHBUTTON / BS_PUSHBUTTON), check state,
  // the icon of a BS_ICON button or SS_ICON static (BM_SETIMAGE, STM_SETICON).
  void SetButtonStyle(DWORD buttonStyle);
  bool IsDefaultButton() const;
  int GetCheck() const;
  void SetCheck(int state);
  HICON SetIcon(HICON icon);  // answers the icon it replaces
  HICON GetIcon() const;
  // BM_CLICK posted: the button is pressed once the queue gets to it.
  void PostClick();

  // Edits.
  void SetLimitText(int maxChars);  // 0: no limit
  int GetLimitText() const;
  void SetReadOnly(bool readOnly);
  bool IsReadOnly() const;
  bool IsMasked() const;
  bool IsDigitsOnly() const;
  // Whether an input method composes text here (ImmAssociateContext).
  void SetInputMethodEnabled(bool enabled);
  bool IsInputMethodEnabled() const;

  // Progress bars and up-down controls (PBM_SETRANGE32, PBM_GETRANGE,
  // PBM_SETPOS, UDM_SETRANGE32).
  void SetRange32(int lower, int upper);
  void GetRange(int* lower, int* upper) const;
  int SetPos(int pos);  // returns the previous position
  int GetPos() const;

  // What was drawn into it (picture frames).
  const Surface& GetSurface() const { return surface_; }
  Surface& MutableSurface() { return surface_; }

  // What the user does, as a back end reports it (UI thread): typing
  // replaces the selection and obeys read-only, digits-only and the limit.
  void InputType(WStringView typed);
  // A key the dialog did not take (arrows on an up-down's buddy).
  virtual void InputKeyDown(WPARAM /*key*/) {}

 protected:
  void Changed();
  // The template entry's pixel rectangle, fixed when the dialog's window is made.
  void SetPixelRect(const Rect& px) { pixelRect_ = px; }
  friend class CDialog;

  CDialog& parent_;
  const int id_;
  const ControlKind kind_;
  Rect rect_;
  Rect pixelRect_;
  DWORD style_;
  WString text_;
  bool visible_;
  bool enabled_;
  bool imeEnabled_ = true;
  int check_ = BST_UNCHECKED;
  int limit_ = 0;
  DWORD selStart_ = 0;
  DWORD selEnd_ = 0;
  int lower_ = 0;
  int upper_ = 100;
  int pos_ = 0;
  HICON icon_ = 0;
  Surface surface_;
};

// Up-down control with a buddy edit (UDS_AUTOBUDDY: the control before it).
// With UDS_SETBUDDYINT the buddy shows the position as a decimal number, and
// the position is read back from the buddy's text.
class CSpinButtonCtrl : public Control {
 public:
  using Control::Control;
  Control* GetBuddy() const;
  int SetPos32(int pos);  // answers the previous position
  int GetPos32(BOOL* error = nullptr) const;
  void GetRange32(int& lower, int& upper) const { GetRange(&lower, &upper); }
  // A click on an arrow (+1 up, -1 down), as a back end reports it.
  void InputSpin(int delta);
  void InputKeyDown(WPARAM key) override;

 private:
  friend class CDialog;
  void SetBuddy(Control* buddy) { buddy_ = buddy; }
  Control* buddy_ = nullptr;
};

// Drop-down list combo box. With CBS_SORT, AddString sorts; InsertString
// never does.
class CComboBox : public Control {
 public:
  using Control::Control;
  int AddString(WStringView text);
  int InsertString(int index, WStringView text);  // -1 appends
  int DeleteString(int index);
  void ResetContent();
  int GetCount() const;
  int GetCurSel() const;
  int SetCurSel(int index);  // CB_ERR (and no selection) outside the list
  WString GetLBText(int index) const;
  // The user picks a row (CBN_SELCHANGE), as a back end reports it.
  void InputSelect(int index);

 private:
  std::vector<WString> items_;
  int cursel_ = -1;
};

// Report-style list view: columns, rows with sub-items, an image and item
// data per row, item states with LVN_ITEMCHANGED, LVN_DELETEALLITEMS.
class CListCtrl : public Control {
 public:
  using Control::Control;

  int InsertColumn(int column, WStringView heading, int format = LVCFMT_LEFT, int width = -1);
  int GetColumnCount() const;
  WString GetColumnHeading(int column) const;
  int GetColumnWidth(int column) const;
  DWORD GetExtendedStyle() const;
  DWORD SetExtendedStyle(DWORD style);  // answers the previous style
  CImageList* SetImageList(CImageList* list, int which);
  CImageList* GetImageList(int which) const;

  // At |row| (clamped to the end); answers the row it landed at, -1 on failure.
  int InsertItem(int row, WStringView text, int image = -1);
  int InsertItem(UINT mask, int row, WStringView text, UINT state, UINT stateMask, int image,
                 LPARAM data);
  BOOL DeleteItem(int row);
  BOOL DeleteAllItems();
  int GetItemCount() const;
  BOOL SetItemText(int row, int subItem, WStringView text);
  WString GetItemText(int row, int subItem) const;
  BOOL SetItemData(int row, LPARAM data);
  LPARAM GetItemData(int row) const;  // 0 for no such row
  int GetItemImage(int row) const;
  BOOL SetItemState(int row, UINT state, UINT mask);
  UINT GetItemState(int row, UINT mask) const;
  // The next row after |start| (-1: from the top) with all of |flags|' states.
  int GetNextItem(int start, int flags) const;
  int GetSelectedCount() const;
  // Where a row stands in the control's client area (the layer's own layout).
  Rect GetItemRect(int row) const;

  // The user clicks a row (-1: empty space), with the left or right button,
  // as a back end reports it; |screen| is where, when the back end knows.
  void InputClick(int row, bool right, const Point* screen = nullptr);

 private:
  struct Column {
    WString heading;
    int format;
    int width;
  };
  struct Row {
    std::vector<WString> texts;  // item text, then the sub-items
    int image = -1;
    LPARAM data = 0;
    UINT state = 0;
  };
  // Sets the states of |row| and tells the parent when they changed.
  void ChangeState(int row, UINT state, UINT mask);
  void NotifyChanged(int row, UINT changed, UINT oldState, UINT newState);
  bool SingleSelection() const { return (style_ & LVS_SINGLESEL) != 0; }

  std::vector<Column> columns_;
  std::vector<Row> rows_;
  DWORD exStyle_ = 0;
  CImageList* smallImages_ = nullptr;
  CImageList* normalImages_ = nullptr;
};

// Tree view. Item handles are numbers that are never reused, so a handle
// kept after its item was deleted names nothing.
class CTreeCtrl : public Control {
 public:
  using Control::Control;

  // A last child of |parent| (null: the top level).
  HTREEITEM InsertItem(WStringView text, int image, int selectedImage, HTREEITEM parent = nullptr);
  BOOL DeleteItem(HTREEITEM item);
  BOOL DeleteAllItems();
  UINT GetCount() const;
  BOOL Expand(HTREEITEM item, UINT code);
  bool IsExpanded(HTREEITEM item) const;
  // Null clears the selection. TVN_SELCHANGED when it changes.
  BOOL SelectItem(HTREEITEM item);
  HTREEITEM GetSelectedItem() const;
  HTREEITEM GetRootItem() const;
  HTREEITEM GetChildItem(HTREEITEM item) const;
  HTREEITEM GetNextSiblingItem(HTREEITEM item) const;
  HTREEITEM GetParentItem(HTREEITEM item) const;
  WString GetItemText(HTREEITEM item) const;
  BOOL GetItemImage(HTREEITEM item, int& image, int& selectedImage) const;
  BOOL SetItemData(HTREEITEM item, LPARAM data);
  LPARAM GetItemData(HTREEITEM item) const;
  CImageList* SetImageList(CImageList* list, int which);
  CImageList* GetImageList(int which) const;
  // The item whose row holds |client| (null below the last row or outside),
  // with TVHT_* flags.
  HTREEITEM HitTest(Point client, UINT* flags = nullptr) const;
  // Where an item's row stands in the client area (the layer's own layout;
  // empty for an item inside a collapsed parent).
  Rect GetItemRect(HTREEITEM item) const;
  // The items in display order with their depth, for back ends.
  struct Shown {
    HTREEITEM item;
    int depth;
  };
  std::vector<Shown> VisibleItems() const;

  // The user clicks at |client| (a left click), as a back end reports it:
  // the tree selects the item hit, then tells the parent (NM_CLICK).
  void InputClick(Point client);
  // The user moves the selection with the keys: no click is told.
  void InputSelect(HTREEITEM item);

  static constexpr int kItemHeight = 16;
  static constexpr int kIndent = 19;

 private:
  struct Node {
    WString text;
    int image = 0;
    int selectedImage = 0;
    LPARAM data = 0;
    HTREEITEM parent = nullptr;
    std::vector<HTREEITEM> children;
    bool expanded = false;
  };
  Node* Get(HTREEITEM item);
  const Node* Get(HTREEITEM item) const;
  void Erase(HTREEITEM item);
  void Collect(const std::vector<HTREEITEM>& level, int depth, std::vector<Shown>& out) const;

  std::map<HTREEITEM, Node> nodes_;
  std::vector<HTREEITEM> roots_;
  HTREEITEM selected_ = nullptr;
  std::uintptr_t nextHandle_ = 0;
  CImageList* images_ = nullptr;
};

}  // namespace tallow::ui
