// What every control keeps (text, state, style, icon), edits, the up-down
// control with its buddy, and the combo box.
#include "platform/ui/control.h"

#include <algorithm>
#include <climits>
#include <string>

#include "platform/ui/dialog.h"
#include "platform/ui/icon.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

namespace {
// What an edit holds when no limit is set, as the other system's edits.
constexpr int kDefaultEditLimit = 30000;

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

}  // namespace tallow::ui
