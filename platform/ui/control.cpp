#include "platform/ui/control.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>

#include "platform/ui/dialog.h"
#include "platform/ui/icon.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

namespace {
// What an edit holds when no limit is set, as the other system's edits.
constexpr int kDefaultEditLimit = 30000;
// The list view's own layout: its header, then one row after another.
constexpr int kListHeaderHeight = 20;
constexpr int kListRowHeight = 16;
// Label widths in the tree's own layout.
constexpr int kTreeIconWidth = 16;
constexpr int kTreeCharWidth = 6;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

WString Decimal(int value) {
  const std::string s = std::to_string(value);
  return WString(s.begin(), s.end());
}

// An optionally signed decimal that fills the whole text.
bool ParseDecimal(WStringView s, int* out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  if (i == s.size()) return false;
  long long value = 0;
  for (; i < s.size(); ++i) {
    if (!IsDigit(s[i])) return false;
    value = value * 10 + (s[i] - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return false;
  *out = static_cast<int>(value);
  return true;
}

// Never reused, across every tree, so a stale handle names nothing.
std::atomic<std::uintptr_t> g_nextTreeHandle{0};
}  // namespace

Control::Control(CDialog& parent, const ControlTemplate& tmpl)
    : parent_(parent),
      id_(tmpl.id),
      kind_(tmpl.kind),
      rect_(tmpl.rect),
      style_(tmpl.style),
      text_(tmpl.text ? tmpl.text : u""),
      visible_((tmpl.style & WS_VISIBLE) != 0),
      enabled_((tmpl.style & WS_DISABLED) == 0),
      icon_(tmpl.kind == ControlKind::kIcon ? LoadIconW(tmpl.resourceId) : 0) {}

void Control::Changed() {
  if (UiBackend* backend = CurrentBackend()) backend->ControlChanged(*this);
}

Rect Control::GetRect() const { return CallOnUi([&] { return rect_; }); }
DWORD Control::GetStyle() const { return CallOnUi([&] { return style_; }); }
Rect Control::GetPixelRect() const { return CallOnUi([&] { return pixelRect_; }); }

Rect Control::GetWindowRect() const {
  return CallOnUi([&] {
    Point origin;
    parent_.ClientToScreen(&origin);
    return Rect{origin.x + pixelRect_.x, origin.y + pixelRect_.y, pixelRect_.cx, pixelRect_.cy};
  });
}

Rect Control::GetClientRect() const {
  return CallOnUi([&] {
    const int border = (style_ & WS_BORDER) ? 1 : 0;
    return Rect{0, 0, std::max(0, pixelRect_.cx - 2 * border),
                std::max(0, pixelRect_.cy - 2 * border)};
  });
}

void Control::ScreenToClient(Point* point) const {
  if (!point) return;
  const Rect w = GetWindowRect();
  const int border = (GetStyle() & WS_BORDER) ? 1 : 0;
  point->x -= w.x + border;
  point->y -= w.y + border;
}

void Control::ClientToScreen(Point* point) const {
  if (!point) return;
  const Rect w = GetWindowRect();
  const int border = (GetStyle() & WS_BORDER) ? 1 : 0;
  point->x += w.x + border;
  point->y += w.y + border;
}

WString Control::GetText() const { return CallOnUi([&] { return text_; }); }

void Control::SetText(WStringView text) {
  CallOnUi([&] {
    text_.assign(text);
    selStart_ = selEnd_ = 0;
    Changed();
    if (kind_ == ControlKind::kEdit) parent_.OnCommand(id_, EN_CHANGE);
  });
}

void Control::GetSel(DWORD* start, DWORD* end) const {
  CallOnUi([&] {
    if (start) *start = selStart_;
    if (end) *end = selEnd_;
  });
}

void Control::SetSel(DWORD start, DWORD end) {
  CallOnUi([&] {
    const auto size = static_cast<DWORD>(text_.size());
    // As the other system: -1 as start removes the selection, a large end
    // means the end of the text.
    if (start == static_cast<DWORD>(-1)) {
      selStart_ = selEnd_ = std::min(selEnd_, size);
      return;
    }
    selStart_ = std::min(start, size);
    selEnd_ = std::min(end, size);
    if (selStart_ > selEnd_) std::swap(selStart_, selEnd_);
  });
}

bool Control::IsVisible() const { return CallOnUi([&] { return visible_; }); }
void Control::ShowWindow(int command) {
  CallOnUi([&] {
    visible_ = command != SW_HIDE;
    Changed();
  });
}

bool Control::IsEnabled() const { return CallOnUi([&] { return enabled_; }); }
void Control::EnableWindow(bool enable) {
  CallOnUi([&] {
    enabled_ = enable;
    Changed();
  });
}

void Control::SetFocus() {
  CallOnUi([&] { parent_.SetFocusId(id_); });
}

void Control::SetButtonStyle(DWORD buttonStyle) {
  CallOnUi([&] {
    style_ = (style_ & ~BS_TYPEMASK) | (buttonStyle & BS_TYPEMASK);
    Changed();
  });
}

bool Control::IsDefaultButton() const {
  return CallOnUi([&] {
    return kind_ == ControlKind::kButton && (style_ & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  });
}

int Control::GetCheck() const { return CallOnUi([&] { return check_; }); }
void Control::SetCheck(int state) {
  CallOnUi([&] {
    check_ = state;
    Changed();
  });
}

HICON Control::SetIcon(HICON icon) {
  return CallOnUi([&] {
    const HICON previous = icon_;
    icon_ = icon;
    Changed();
    return previous;
  });
}

HICON Control::GetIcon() const { return CallOnUi([&] { return icon_; }); }

void Control::PostClick() {
  const HWND dialog = parent_.GetSafeHwnd();
  const int id = id_;
  PostToUi([dialog, id] {
    CDialog* d = CDialog::FromHandle(dialog);
    Control* c = d ? d->GetDlgItem(id) : nullptr;
    // A click reaches a disabled button no more than the mouse does.
    if (c && c->IsEnabled()) d->OnCommand(id, BN_CLICKED);
  });
}

void Control::SetLimitText(int maxChars) {
  CallOnUi([&] {
    limit_ = maxChars > 0 ? maxChars : 0;
    Changed();
  });
}
int Control::GetLimitText() const {
  return CallOnUi([&] { return limit_ ? limit_ : kDefaultEditLimit; });
}

void Control::SetReadOnly(bool readOnly) {
  CallOnUi([&] {
    style_ = readOnly ? (style_ | ES_READONLY) : (style_ & ~ES_READONLY);
    Changed();
  });
}
bool Control::IsReadOnly() const { return CallOnUi([&] { return (style_ & ES_READONLY) != 0; }); }
bool Control::IsMasked() const { return CallOnUi([&] { return (style_ & ES_PASSWORD) != 0; }); }
bool Control::IsDigitsOnly() const { return CallOnUi([&] { return (style_ & ES_NUMBER) != 0; }); }

void Control::SetInputMethodEnabled(bool enabled) {
  CallOnUi([&] {
    imeEnabled_ = enabled;
    Changed();
  });
}
bool Control::IsInputMethodEnabled() const { return CallOnUi([&] { return imeEnabled_; }); }

void Control::SetRange32(int lower, int upper) {
  CallOnUi([&] {
    lower_ = lower;
    upper_ = upper;
    pos_ = std::clamp(pos_, std::min(lower_, upper_), std::max(lower_, upper_));
    Changed();
  });
}

void Control::GetRange(int* lower, int* upper) const {
  CallOnUi([&] {
    if (lower) *lower = lower_;
    if (upper) *upper = upper_;
  });
}

int Control::SetPos(int pos) {
  return CallOnUi([&] {
    const int previous = pos_;
    pos_ = std::clamp(pos, std::min(lower_, upper_), std::max(lower_, upper_));
    Changed();
    return previous;
  });
}

int Control::GetPos() const { return CallOnUi([&] { return pos_; }); }

void Control::InputType(WStringView typed) {
  if (!enabled_ || !visible_ || !parent_.IsWindowEnabled()) return;
  if (kind_ != ControlKind::kEdit || (style_ & ES_READONLY)) return;
  WString accepted;
  for (char16_t c : typed) {
    if ((style_ & ES_NUMBER) && !IsDigit(c)) continue;  // the edit refuses it
    accepted.push_back(c);
  }
  const auto limit = static_cast<std::size_t>(limit_ ? limit_ : kDefaultEditLimit);
  const std::size_t kept = text_.size() - (selEnd_ - selStart_);
  if (kept >= limit) {
    accepted.clear();
  } else if (accepted.size() > limit - kept) {
    accepted.resize(limit - kept);
  }
  if (accepted.empty()) return;  // a refused key changes nothing
  text_.replace(selStart_, selEnd_ - selStart_, accepted);
  selStart_ = selEnd_ = selStart_ + static_cast<DWORD>(accepted.size());
  Changed();
  parent_.OnCommand(id_, EN_CHANGE);
}

// ---- up-down ---------------------------------------------------------------

Control* CSpinButtonCtrl::GetBuddy() const { return CallOnUi([&] { return buddy_; }); }

int CSpinButtonCtrl::SetPos32(int pos) {
  return CallOnUi([&] {
    const int previous = pos_;
    pos_ = std::clamp(pos, std::min(lower_, upper_), std::max(lower_, upper_));
    Changed();
    if (buddy_ && (style_ & UDS_SETBUDDYINT)) buddy_->SetText(Decimal(pos_));
    return previous;
  });
}

int CSpinButtonCtrl::GetPos32(BOOL* error) const {
  return CallOnUi([&] {
    int value = pos_;
    bool ok = true;
    if (buddy_ && (style_ & UDS_SETBUDDYINT)) {
      ok = ParseDecimal(buddy_->GetText(), &value) && value >= std::min(lower_, upper_) &&
           value <= std::max(lower_, upper_);
      if (!ok) value = pos_;
    }
    if (error) *error = ok ? FALSE : TRUE;
    return value;
  });
}

void CSpinButtonCtrl::InputSpin(int delta) {
  if (!enabled_ || !visible_ || !parent_.IsWindowEnabled() || delta == 0) return;
  const int current = GetPos32();
  NMUPDOWN nm{{GetSafeHwnd(), id_, UDN_DELTAPOS}, current, delta};
  if (parent_.SendNotify(nm.hdr) != 0) return;  // the parent refused the step
  const long long next = static_cast<long long>(current) + nm.iDelta;
  SetPos32(static_cast<int>(std::clamp<long long>(next, std::min(lower_, upper_),
                                                  std::max(lower_, upper_))));
}

void CSpinButtonCtrl::InputKeyDown(WPARAM key) {
  if (key == VK_UP) InputSpin(1);
  if (key == VK_DOWN) InputSpin(-1);
}

// ---- combo box -------------------------------------------------------------

int CComboBox::AddString(WStringView text) {
  return CallOnUi([&] {
    std::size_t at = items_.size();
    if (style_ & CBS_SORT) {
      const WString key = AsciiLower(text);
      at = 0;
      while (at < items_.size() && AsciiLower(items_[at]) <= key) ++at;
    }
    return InsertString(static_cast<int>(at), text);
  });
}

int CComboBox::InsertString(int index, WStringView text) {
  return CallOnUi([&] {
    if (index == -1) index = static_cast<int>(items_.size());
    if (index < 0 || index > static_cast<int>(items_.size())) return CB_ERR;
    items_.insert(items_.begin() + index, WString(text));
    if (cursel_ >= index) ++cursel_;  // the selected row stays selected
    Changed();
    return index;
  });
}

int CComboBox::DeleteString(int index) {
  return CallOnUi([&] {
    if (index < 0 || index >= static_cast<int>(items_.size())) return CB_ERR;
    items_.erase(items_.begin() + index);
    if (cursel_ == index) {
      cursel_ = -1;
      text_.clear();
    } else if (cursel_ > index) {
      --cursel_;
    }
    Changed();
    return static_cast<int>(items_.size());
  });
}

void CComboBox::ResetContent() {
  CallOnUi([&] {
    items_.clear();
    cursel_ = -1;
    text_.clear();
    Changed();
  });
}

int CComboBox::GetCount() const {
  return CallOnUi([&] { return static_cast<int>(items_.size()); });
}
int CComboBox::GetCurSel() const { return CallOnUi([&] { return cursel_; }); }

int CComboBox::SetCurSel(int index) {
  return CallOnUi([&] {
    const bool inside = index >= 0 && index < static_cast<int>(items_.size());
    cursel_ = inside ? index : -1;
    text_ = inside ? items_[index] : WString();
    Changed();
    return inside ? index : CB_ERR;
  });
}

WString CComboBox::GetLBText(int index) const {
  return CallOnUi([&] {
    return index >= 0 && index < static_cast<int>(items_.size()) ? items_[index] : WString();
  });
}

void CComboBox::InputSelect(int index) {
  if (!enabled_ || !visible_ || !parent_.IsWindowEnabled()) return;
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  SetFocus();
  SetCurSel(index);
  parent_.OnCommand(id_, CBN_SELCHANGE);
}

// ---- list view -------------------------------------------------------------

int CListCtrl::InsertColumn(int column, WStringView heading, int format, int width) {
  return CallOnUi([&] {
    const int at = std::clamp(column, 0, static_cast<int>(columns_.size()));
    columns_.insert(columns_.begin() + at, Column{WString(heading), format, width});
    Changed();
    return at;
  });
}

int CListCtrl::GetColumnCount() const {
  return CallOnUi([&] { return static_cast<int>(columns_.size()); });
}

WString CListCtrl::GetColumnHeading(int column) const {
  return CallOnUi([&] {
    return column >= 0 && column < static_cast<int>(columns_.size()) ? columns_[column].heading
                                                                       : WString();
  });
}

int CListCtrl::GetColumnWidth(int column) const {
  return CallOnUi([&] {
    return column >= 0 && column < static_cast<int>(columns_.size()) ? columns_[column].width : 0;
  });
}

DWORD CListCtrl::GetExtendedStyle() const { return CallOnUi([&] { return exStyle_; }); }

DWORD CListCtrl::SetExtendedStyle(DWORD style) {
  return CallOnUi([&] {
    const DWORD previous = exStyle_;
    exStyle_ = style;
    Changed();
    return previous;
  });
}

CImageList* CListCtrl::SetImageList(CImageList* list, int which) {
  return CallOnUi([&] {
    CImageList*& slot = which == LVSIL_SMALL ? smallImages_ : normalImages_;
    CImageList* previous = slot;
    slot = list;
    Changed();
    return previous;
  });
}

CImageList* CListCtrl::GetImageList(int which) const {
  return CallOnUi([&] { return which == LVSIL_SMALL ? smallImages_ : normalImages_; });
}

int CListCtrl::InsertItem(int row, WStringView text, int image) {
  return InsertItem(LVIF_TEXT | LVIF_IMAGE, row, text, 0, 0, image, 0);
}

int CListCtrl::InsertItem(UINT mask, int row, WStringView text, UINT state, UINT stateMask,
                          int image, LPARAM data) {
  return CallOnUi([&] {
    if (row < 0) return -1;
    const int at = std::min(row, static_cast<int>(rows_.size()));
    Row r;
    r.texts.push_back((mask & LVIF_TEXT) ? WString(text) : WString());
    if (mask & LVIF_IMAGE) r.image = image;
    if (mask & LVIF_PARAM) r.data = data;
    if (mask & LVIF_STATE) r.state = state & stateMask & (LVIS_SELECTED | LVIS_FOCUSED);
    if (SingleSelection() && (r.state & LVIS_SELECTED)) {
      for (Row& other : rows_) other.state &= ~LVIS_SELECTED;
    }
    if (r.state & LVIS_FOCUSED) {
      for (Row& other : rows_) other.state &= ~LVIS_FOCUSED;
    }
    rows_.insert(rows_.begin() + at, std::move(r));
    Changed();
    return at;
  });
}

BOOL CListCtrl::DeleteItem(int row) {
  return CallOnUi([&]() -> BOOL {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return FALSE;
    NMLISTVIEW nm{{GetSafeHwnd(), id_, LVN_DELETEITEM}, row, 0, 0, 0, 0, {}, rows_[row].data};
    parent_.SendNotify(nm.hdr);
    if (row < static_cast<int>(rows_.size())) rows_.erase(rows_.begin() + row);
    Changed();
    return TRUE;
  });
}

BOOL CListCtrl::DeleteAllItems() {
  return CallOnUi([&]() -> BOOL {
    NMLISTVIEW all{{GetSafeHwnd(), id_, LVN_DELETEALLITEMS}, -1, 0, 0, 0, 0, {}, 0};
    // A non-zero answer spares the parent one notice per row.
    if (parent_.SendNotify(all.hdr) == 0) {
      const std::vector<Row> going = rows_;
      for (std::size_t i = 0; i < going.size(); ++i) {
        NMLISTVIEW nm{{GetSafeHwnd(), id_, LVN_DELETEITEM}, static_cast<int>(i), 0, 0, 0, 0, {},
                      going[i].data};
        parent_.SendNotify(nm.hdr);
      }
    }
    rows_.clear();
    Changed();
    return TRUE;
  });
}

int CListCtrl::GetItemCount() const {
  return CallOnUi([&] { return static_cast<int>(rows_.size()); });
}

BOOL CListCtrl::SetItemText(int row, int subItem, WStringView text) {
  return CallOnUi([&]() -> BOOL {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || subItem < 0) return FALSE;
    if (subItem > 0 && subItem >= static_cast<int>(std::max<std::size_t>(columns_.size(), 1))) {
      return FALSE;
    }
    std::vector<WString>& texts = rows_[row].texts;
    if (texts.size() <= static_cast<std::size_t>(subItem)) texts.resize(subItem + 1);
    texts[subItem].assign(text);
    Changed();
    NotifyChanged(row, LVIF_TEXT, 0, 0);
    return TRUE;
  });
}

WString CListCtrl::GetItemText(int row, int subItem) const {
  return CallOnUi([&] {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || subItem < 0) return WString();
    const std::vector<WString>& texts = rows_[row].texts;
    return static_cast<std::size_t>(subItem) < texts.size() ? texts[subItem] : WString();
  });
}

BOOL CListCtrl::SetItemData(int row, LPARAM data) {
  return CallOnUi([&]() -> BOOL {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return FALSE;
    rows_[row].data = data;
    return TRUE;
  });
}

LPARAM CListCtrl::GetItemData(int row) const {
  return CallOnUi([&]() -> LPARAM {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].data : 0;
  });
}

int CListCtrl::GetItemImage(int row) const {
  return CallOnUi([&] {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].image : -1;
  });
}

BOOL CListCtrl::SetItemState(int row, UINT state, UINT mask) {
  return CallOnUi([&]() -> BOOL {
    if (row == -1) {  // every row
      for (int i = 0; i < static_cast<int>(rows_.size()); ++i) ChangeState(i, state, mask);
      return TRUE;
    }
    if (row < 0 || row >= static_cast<int>(rows_.size())) return FALSE;
    ChangeState(row, state, mask);
    return TRUE;
  });
}

UINT CListCtrl::GetItemState(int row, UINT mask) const {
  return CallOnUi([&]() -> UINT {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].state & mask : 0;
  });
}

int CListCtrl::GetNextItem(int start, int flags) const {
  return CallOnUi([&] {
    const UINT wanted = (flags & LVNI_SELECTED) ? LVIS_SELECTED : 0;
    for (int i = std::max(start + 1, 0); i < static_cast<int>(rows_.size()); ++i) {
      if ((rows_[i].state & wanted) == wanted) return i;
    }
    return -1;
  });
}

int CListCtrl::GetSelectedCount() const {
  return CallOnUi([&] {
    return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Row& r) {
      return (r.state & LVIS_SELECTED) != 0;
    }));
  });
}

Rect CListCtrl::GetItemRect(int row) const {
  return CallOnUi([&] {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return Rect{};
    return Rect{0, kListHeaderHeight + row * kListRowHeight, GetClientRect().cx, kListRowHeight};
  });
}

void CListCtrl::NotifyChanged(int row, UINT changed, UINT oldState, UINT newState) {
  NMLISTVIEW nm{{GetSafeHwnd(), id_, LVN_ITEMCHANGED}, row, 0, newState, oldState, changed, {},
                rows_[row].data};
  parent_.SendNotify(nm.hdr);
}

void CListCtrl::ChangeState(int row, UINT state, UINT mask) {
  mask &= LVIS_SELECTED | LVIS_FOCUSED;
  const UINT wanted = (rows_[row].state & ~mask) | (state & mask);
  // One selected row and one focused row at most: the others give theirs up
  // first, each with its own notice.
  UINT takeAway = 0;
  if (SingleSelection() && (wanted & LVIS_SELECTED)) takeAway |= LVIS_SELECTED;
  if (wanted & LVIS_FOCUSED) takeAway |= LVIS_FOCUSED;
  if (takeAway) {
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
      if (i == row || !(rows_[i].state & takeAway)) continue;
      const UINT old = rows_[i].state;
      rows_[i].state &= ~takeAway;
      Changed();
      NotifyChanged(i, LVIF_STATE, old, rows_[i].state);
    }
  }
  // A handler may have emptied the list meanwhile.
  if (row >= static_cast<int>(rows_.size())) return;
  const UINT old = rows_[row].state;
  rows_[row].state = (old & ~mask) | (state & mask);
  if (rows_[row].state == old) return;
  Changed();
  NotifyChanged(row, LVIF_STATE, old, rows_[row].state);
}

void CListCtrl::InputClick(int row, bool right, const Point* screen) {
  if (!enabled_ || !visible_ || !parent_.IsWindowEnabled()) return;
  if (row >= static_cast<int>(rows_.size())) row = -1;
  SetFocus();
  Point client{GetClientRect().cx / 2, kListHeaderHeight / 2};
  if (row >= 0) {
    const Rect r = GetItemRect(row);
    client = Point{r.x + r.cx / 2, r.y + r.cy / 2};
  }
  if (screen) {
    client = *screen;
    ScreenToClient(&client);
  }
  Point at = client;
  ClientToScreen(&at);
  SetMessagePos(at);
  if (row >= 0) {
    ChangeState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  } else {
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) ChangeState(i, 0, LVIS_SELECTED);
  }
  if (!parent_.GetSafeHwnd()) return;
  NMITEMACTIVATE nm{{GetSafeHwnd(), id_, right ? NM_RCLICK : NM_CLICK}, row, 0, client};
  parent_.SendNotify(nm.hdr);
}

// ---- tree view -------------------------------------------------------------

CTreeCtrl::Node* CTreeCtrl::Get(HTREEITEM item) {
  auto it = nodes_.find(item);
  return it == nodes_.end() ? nullptr : &it->second;
}

const CTreeCtrl::Node* CTreeCtrl::Get(HTREEITEM item) const {
  auto it = nodes_.find(item);
  return it == nodes_.end() ? nullptr : &it->second;
}

HTREEITEM CTreeCtrl::InsertItem(WStringView text, int image, int selectedImage, HTREEITEM parent) {
  return CallOnUi([&]() -> HTREEITEM {
    Node* p = nullptr;
    if (parent) {
      p = Get(parent);
      if (!p) return nullptr;
    }
    const auto handle = reinterpret_cast<HTREEITEM>(++g_nextTreeHandle);
    Node node;
    node.text.assign(text);
    node.image = image;
    node.selectedImage = selectedImage;
    node.parent = parent;
    nodes_.emplace(handle, std::move(node));
    (p ? p->children : roots_).push_back(handle);
    Changed();
    return handle;
  });
}

void CTreeCtrl::Erase(HTREEITEM item) {
  Node* node = Get(item);
  if (!node) return;
  const std::vector<HTREEITEM> children = node->children;
  for (HTREEITEM child : children) Erase(child);
  if (selected_ == item) selected_ = nullptr;
  nodes_.erase(item);
}

BOOL CTreeCtrl::DeleteItem(HTREEITEM item) {
  return CallOnUi([&]() -> BOOL {
    Node* node = Get(item);
    if (!node) return FALSE;
    std::vector<HTREEITEM>& siblings = node->parent ? Get(node->parent)->children : roots_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), item), siblings.end());
    Erase(item);
    Changed();
    return TRUE;
  });
}

BOOL CTreeCtrl::DeleteAllItems() {
  return CallOnUi([&]() -> BOOL {
    nodes_.clear();
    roots_.clear();
    selected_ = nullptr;
    Changed();
    return TRUE;
  });
}

UINT CTreeCtrl::GetCount() const {
  return CallOnUi([&] { return static_cast<UINT>(nodes_.size()); });
}

BOOL CTreeCtrl::Expand(HTREEITEM item, UINT code) {
  return CallOnUi([&]() -> BOOL {
    Node* node = Get(item);
    if (!node) return FALSE;
    if (code == TVE_EXPAND) node->expanded = true;
    if (code == TVE_COLLAPSE) node->expanded = false;
    Changed();
    return TRUE;
  });
}

bool CTreeCtrl::IsExpanded(HTREEITEM item) const {
  return CallOnUi([&] {
    const Node* node = Get(item);
    return node && node->expanded;
  });
}

BOOL CTreeCtrl::SelectItem(HTREEITEM item) {
  return CallOnUi([&]() -> BOOL {
    if (item && !Get(item)) return FALSE;
    if (item == selected_) return TRUE;
    // The item is made visible: its parents open.
    for (HTREEITEM p = item ? Get(item)->parent : nullptr; p; p = Get(p)->parent) {
      Get(p)->expanded = true;
    }
    NMTREEVIEW nm{{GetSafeHwnd(), id_, TVN_SELCHANGED}, selected_, item};
    selected_ = item;
    Changed();
    parent_.SendNotify(nm.hdr);
    return TRUE;
  });
}

HTREEITEM CTreeCtrl::GetSelectedItem() const { return CallOnUi([&] { return selected_; }); }

HTREEITEM CTreeCtrl::GetRootItem() const {
  return CallOnUi([&]() -> HTREEITEM { return roots_.empty() ? nullptr : roots_.front(); });
}

HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM item) const {
  return CallOnUi([&]() -> HTREEITEM {
    const Node* node = Get(item);
    return node && !node->children.empty() ? node->children.front() : nullptr;
  });
}

HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM item) const {
  return CallOnUi([&]() -> HTREEITEM {
    const Node* node = Get(item);
    if (!node) return nullptr;
    const std::vector<HTREEITEM>& siblings = node->parent ? Get(node->parent)->children : roots_;
    auto it = std::find(siblings.begin(), siblings.end(), item);
    return it != siblings.end() && it + 1 != siblings.end() ? *(it + 1) : nullptr;
  });
}

HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM item) const {
  return CallOnUi([&]() -> HTREEITEM {
    const Node* node = Get(item);
    return node ? node->parent : nullptr;
  });
}

WString CTreeCtrl::GetItemText(HTREEITEM item) const {
  return CallOnUi([&] {
    const Node* node = Get(item);
    return node ? node->text : WString();
  });
}

BOOL CTreeCtrl::GetItemImage(HTREEITEM item, int& image, int& selectedImage) const {
  return CallOnUi([&]() -> BOOL {
    const Node* node = Get(item);
    if (!node) return FALSE;
    image = node->image;
    selectedImage = node->selectedImage;
    return TRUE;
  });
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, LPARAM data) {
  return CallOnUi([&]() -> BOOL {
    Node* node = Get(item);
    if (!node) return FALSE;
    node->data = data;
    return TRUE;
  });
}

LPARAM CTreeCtrl::GetItemData(HTREEITEM item) const {
  return CallOnUi([&]() -> LPARAM {
    const Node* node = Get(item);
    return node ? node->data : 0;
  });
}

CImageList* CTreeCtrl::SetImageList(CImageList* list, int /*which*/) {
  return CallOnUi([&] {
    CImageList* previous = images_;
    images_ = list;
    Changed();
    return previous;
  });
}

CImageList* CTreeCtrl::GetImageList(int /*which*/) const { return CallOnUi([&] { return images_; }); }

void CTreeCtrl::Collect(const std::vector<HTREEITEM>& level, int depth,
                        std::vector<Shown>& out) const {
  for (HTREEITEM item : level) {
    out.push_back({item, depth});
    const Node* node = Get(item);
    if (node->expanded) Collect(node->children, depth + 1, out);
  }
}

std::vector<CTreeCtrl::Shown> CTreeCtrl::VisibleItems() const {
  return CallOnUi([&] {
    std::vector<Shown> out;
    Collect(roots_, 0, out);
    return out;
  });
}

HTREEITEM CTreeCtrl::HitTest(Point client, UINT* flags) const {
  return CallOnUi([&]() -> HTREEITEM {
    if (flags) *flags = TVHT_NOWHERE;
    if (UiBackend* backend = CurrentBackend()) {
      HTREEITEM item = nullptr;
      if (backend->TreeHitTest(*this, client, &item)) {
        if (flags && item) *flags = TVHT_ONITEMLABEL;
        return Get(item) ? item : nullptr;
      }
    }
    const Rect area = GetClientRect();
    if (client.x < 0 || client.y < 0 || client.x >= area.cx || client.y >= area.cy) return nullptr;
    const std::vector<Shown> shown = VisibleItems();
    const auto row = static_cast<std::size_t>(client.y / kItemHeight);
    if (row >= shown.size()) return nullptr;
    const Node* node = Get(shown[row].item);
    const int indent = (shown[row].depth + ((style_ & TVS_LINESATROOT) ? 1 : 0)) * kIndent;
    const int iconEnd = indent + (images_ ? kTreeIconWidth : 0);
    const int labelEnd = iconEnd + 4 + kTreeCharWidth * static_cast<int>(node->text.size());
    if (flags) {
      *flags = client.x < indent     ? TVHT_ONITEMINDENT
               : client.x < iconEnd  ? TVHT_ONITEMICON
               : client.x < labelEnd ? TVHT_ONITEMLABEL
                                     : TVHT_ONITEMRIGHT;
    }
    return shown[row].item;
  });
}

Rect CTreeCtrl::GetItemRect(HTREEITEM item) const {
  return CallOnUi([&] {
    const std::vector<Shown> shown = VisibleItems();
    for (std::size_t i = 0; i < shown.size(); ++i) {
      if (shown[i].item == item) {
        return Rect{0, static_cast<int>(i) * kItemHeight, GetClientRect().cx, kItemHeight};
      }
    }
    return Rect{};
  });
}

void CTreeCtrl::InputClick(Point client) {
  if (!enabled_ || !visible_ || !parent_.IsWindowEnabled()) return;
  SetFocus();
  Point at = client;
  ClientToScreen(&at);
  SetMessagePos(at);
  UINT flags = 0;
  const HTREEITEM hit = HitTest(client, &flags);
  // The tree itself selects what was clicked on its icon or label.
  if (hit && (flags & TVHT_ONITEM)) SelectItem(hit);
  if (!parent_.GetSafeHwnd()) return;
  NMHDR nm{GetSafeHwnd(), id_, NM_CLICK};
  parent_.SendNotify(nm);
}

void CTreeCtrl::InputSelect(HTREEITEM item) {
  if (!enabled_ || !visible_ || !parent_.IsWindowEnabled() || !Get(item)) return;
  SetFocus();
  SelectItem(item);
}

}  // namespace tallow::ui
