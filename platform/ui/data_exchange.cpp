// Dialog data exchange: the values of a dialog's members to and from its
// controls, with the checks that stop an exchange; and the automatic radio
// groups that both the exchange and a click walk.
#include <climits>
#include <string>

#include "platform/ui/dialog.h"
#include "platform/ui/radio_group.h"

namespace tallow::ui {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Decimal with an optional sign inside optional blanks; false on anything
// else or outside the range of int.
bool ParseInt(WStringView s, int* out) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  long long value = 0;
  std::size_t digits = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i, ++digits) {
    value = value * 10 + (s[i] - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) return false;
  }
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (digits == 0 || i != s.size()) return false;
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return false;
  *out = static_cast<int>(value);
  return true;
}

WString ToWide(int value) {
  const std::string s = std::to_string(value);
  return WString(s.begin(), s.end());
}

// The controls of the group that |member| belongs to: from the nearest
// control with WS_GROUP at or before it up to the next one with WS_GROUP.
std::vector<Control*> GroupOf(const CDialog& dialog, const Control* member) {
  const auto& all = dialog.Controls();
  std::size_t at = 0;
  while (at < all.size() && all[at].get() != member) ++at;
  if (at == all.size()) return {};
  std::size_t first = at;
  while (first > 0 && !(all[first]->GetStyle() & WS_GROUP)) --first;
  std::vector<Control*> group;
  for (std::size_t i = first; i < all.size(); ++i) {
    if (i > first && (all[i]->GetStyle() & WS_GROUP)) break;
    group.push_back(all[i].get());
  }
  return group;
}


}  // namespace

std::vector<Control*> RadiosOf(const CDialog& dialog, const Control* member) {
  std::vector<Control*> radios;
  for (Control* c : GroupOf(dialog, member)) {
    if (c->Kind() == ControlKind::kRadio) radios.push_back(c);
  }
  return radios;
}

Control* CDataExchange::PrepareCtrl(int id) {
  if (failed_) return nullptr;
  lastControlId_ = id;
  return m_pDlgWnd->GetDlgItem(id);
}

Control* CDataExchange::LastControl() const { return m_pDlgWnd->GetDlgItem(lastControlId_); }

void CDataExchange::Fail(const WString& message) {
  if (failed_) return;
  failed_ = true;
  m_pDlgWnd->MessageBox(message, u"", MB_OK | MB_ICONWARNING);
  if (Control* c = m_pDlgWnd->GetDlgItem(lastControlId_)) c->SetFocus();
}

void DDX_Text(CDataExchange* dx, int id, WString& value) {
  Control* c = dx->PrepareCtrl(id);
  if (!c) return;
  if (dx->m_bSaveAndValidate) {
    value = c->GetText();
  } else {
    c->SetText(value);
  }
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
  Control* c = dx->PrepareCtrl(id);
  if (!c) return;
  if (!dx->m_bSaveAndValidate) {
    c->SetText(ToWide(value));
    return;
  }
  int parsed = 0;
  if (!ParseInt(c->GetText(), &parsed)) {
    dx->Fail(u"Please enter an integer.");
    return;
  }
  value = parsed;
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  Control* c = dx->PrepareCtrl(id);
  if (!c) return;
  if (dx->m_bSaveAndValidate) {
    value = c->GetCheck();
  } else {
    c->SetCheck(value);
  }
}

void DDV_MaxChars(CDataExchange* dx, const WString& value, int maxChars) {
  if (dx->Failed()) return;
  if (dx->m_bSaveAndValidate) {
    if (value.size() > static_cast<std::size_t>(maxChars)) {
      dx->Fail(u"Please enter no more than " + ToWide(maxChars) + u" characters.");
    }
    return;
  }
  // The limit goes to the control that the preceding DDX_Text exchanged.
  if (Control* c = dx->LastControl()) c->SetLimitText(maxChars);
}

void DDX_Radio(CDataExchange* dx, int firstId, int& value) {
  Control* first = dx->PrepareCtrl(firstId);
  if (!first) return;
  const std::vector<Control*> radios = RadiosOf(*dx->m_pDlgWnd, first);
  if (dx->m_bSaveAndValidate) {
    value = -1;
    for (std::size_t i = 0; i < radios.size(); ++i) {
      if (radios[i]->GetCheck() == BST_CHECKED) {
        value = static_cast<int>(i);
        break;
      }
    }
    return;
  }
  for (std::size_t i = 0; i < radios.size(); ++i) {
    radios[i]->SetCheck(static_cast<int>(i) == value ? BST_CHECKED : BST_UNCHECKED);
  }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& value) {
  auto* combo = dynamic_cast<CComboBox*>(dx->PrepareCtrl(id));
  if (!combo) return;
  if (dx->m_bSaveAndValidate) {
    value = combo->GetCurSel();
  } else {
    combo->SetCurSel(value);
  }
}

void DDX_Control(CDataExchange* dx, int id, Control*& control) {
  if (dx->Failed()) return;
  control = dx->m_pDlgWnd->GetDlgItem(id);
}

}  // namespace tallow::ui
