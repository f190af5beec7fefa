#include "platform/ui/control.h"

#include <algorithm>

#include "platform/ui/dialog.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

namespace {
// What an edit holds when no limit is set, as the other system's edits.
constexpr int kDefaultEditLimit = 30000;
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
}  // namespace

Control::Control(CDialog& parent, const ControlTemplate& tmpl)
    : parent_(parent),
      id_(tmpl.id),
      kind_(tmpl.kind),
      rect_(tmpl.rect),
      style_(tmpl.style),
      text_(tmpl.text ? tmpl.text : u""),
      visible_((tmpl.style & WS_VISIBLE) != 0),
      enabled_((tmpl.style & WS_DISABLED) == 0) {}

void Control::Changed() {
  if (UiBackend* backend = CurrentBackend()) backend->ControlChanged(*this);
}

Rect Control::GetRect() const { return CallOnUi([&] { return rect_; }); }
DWORD Control::GetStyle() const { return CallOnUi([&] { return style_; }); }

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

void Control::SetLimitText(int maxChars) {
  CallOnUi([&] { limit_ = maxChars > 0 ? maxChars : 0; });
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

}  // namespace tallow::ui
