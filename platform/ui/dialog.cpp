#include "platform/ui/dialog.h"

#include <climits>

#include "platform/ui/ui_thread.h"

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

}  // namespace

const std::function<void()>* MessageMap::Find(int id, int code) const {
  for (const Entry& e : entries_) {
    if (e.id == id && e.code == code) return &e.handler;
  }
  return nullptr;
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

void DDX_Control(CDataExchange* dx, int id, Control*& control) {
  if (dx->Failed()) return;
  control = dx->m_pDlgWnd->GetDlgItem(id);
}

CDialog::CDialog(int templateId, CDialog* parent)
    : template_(FindDialogTemplate(templateId)), parent_(parent) {}

CDialog::CDialog(const DialogTemplate& tmpl, CDialog* parent) : template_(&tmpl), parent_(parent) {}

CDialog::~CDialog() {
  if (created_) CallOnUi([&] { DestroyNow(); });
}

CDialog* CDialog::FromHandle(HWND hwnd) {
  return IsWindow(hwnd) ? static_cast<CDialog*>(hwnd) : nullptr;
}

bool CDialog::MakeWindow(CDialog* parent) {
  if (!template_ || created_ || !CurrentBackend()) return false;
  parent_ = parent ? parent : parent_;
  controls_.clear();
  for (const ControlTemplate& t : template_->controls) {
    controls_.push_back(std::make_unique<Control>(*this, t));
  }
  caption_ = template_->caption ? template_->caption : u"";
  visible_ = (template_->style & WS_VISIBLE) != 0;
  enabled_ = true;
  closeEnabled_ = true;
  ended_ = false;
  result_ = 0;
  focusId_ = 0;
  map_.Clear();
  DeclareMessageMap(map_);
  created_ = true;
  RegisterWindow(GetSafeHwnd());
  CurrentBackend()->WindowCreated(*this);
  return true;
}

void CDialog::DestroyNow() {
  if (!created_) return;
  if (UiBackend* backend = CurrentBackend()) backend->WindowDestroyed(*this);
  UnregisterWindow(GetSafeHwnd());
  created_ = false;
  controls_.clear();
  map_.Clear();
}

int CDialog::DoModal() {
  return CallOnUi([&] {
    if (!MakeWindow(parent_)) return kModalFailed;
    modal_ = true;
    visible_ = true;
    // The owner takes no input while its modal child runs.
    const bool ownerWasEnabled = parent_ && parent_->created_ && parent_->enabled_;
    if (ownerWasEnabled) parent_->EnableWindow(false);
    OnInitDialog();
    if (!ended_) CurrentBackend()->RunModalLoop(*this);
    const int result = ended_ ? result_ : kModalFailed;
    if (ownerWasEnabled && parent_->created_) parent_->EnableWindow(true);
    modal_ = false;
    DestroyNow();
    return result;
  });
}

bool CDialog::Create(CDialog* parent) {
  return CallOnUi([&] {
    if (!MakeWindow(parent)) return false;
    OnInitDialog();
    return true;
  });
}

void CDialog::DestroyWindow() {
  CallOnUi([&] { DestroyNow(); });
}

void CDialog::EndDialog(int result) {
  CallOnUi([&] {
    ended_ = true;
    result_ = result;
  });
}

Control* CDialog::GetDlgItem(int id) const {
  return CallOnUi([&]() -> Control* {
    if (id == IDC_STATIC) return nullptr;
    for (const auto& c : controls_) {
      if (c->GetDlgCtrlID() == id) return c.get();
    }
    return nullptr;
  });
}

void CDialog::SetDlgItemText(int id, WStringView text) {
  if (Control* c = GetDlgItem(id)) c->SetText(text);
}

WString CDialog::GetDlgItemText(int id) const {
  Control* c = GetDlgItem(id);
  return c ? c->GetText() : WString();
}

void CDialog::SetWindowText(WStringView caption) {
  CallOnUi([&] {
    caption_.assign(caption);
    if (created_) CurrentBackend()->WindowChanged(*this);
  });
}

WString CDialog::GetWindowText() const { return CallOnUi([&] { return caption_; }); }

void CDialog::ShowWindow(int command) {
  CallOnUi([&] {
    visible_ = command != SW_HIDE;
    if (created_) CurrentBackend()->WindowChanged(*this);
  });
}

bool CDialog::IsWindowVisible() const { return CallOnUi([&] { return created_ && visible_; }); }

void CDialog::EnableWindow(bool enable) {
  CallOnUi([&] {
    enabled_ = enable;
    if (created_) CurrentBackend()->WindowChanged(*this);
  });
}

bool CDialog::IsWindowEnabled() const { return CallOnUi([&] { return created_ && enabled_; }); }

void CDialog::GotoDlgCtrl(Control* control) {
  if (control) control->SetFocus();
}

int CDialog::GetFocusId() const { return CallOnUi([&] { return focusId_; }); }
void CDialog::SetFocusId(int id) {
  CallOnUi([&] { focusId_ = id; });
}

int CDialog::GetDefID() const {
  return CallOnUi([&] {
    for (const auto& c : controls_) {
      if (c->IsDefaultButton()) return c->GetDlgCtrlID();
    }
    return IDOK;
  });
}

void CDialog::EnableCloseCommand(bool enable) {
  CallOnUi([&] {
    closeEnabled_ = enable;
    if (created_) CurrentBackend()->WindowChanged(*this);
  });
}

bool CDialog::IsCloseCommandEnabled() const { return CallOnUi([&] { return closeEnabled_; }); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  return CallOnUi([&] {
    if (!created_) return FALSE;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return dx.Failed() ? FALSE : TRUE;
  });
}

void CDialog::PostMessageW(UINT message) {
  const HWND hwnd = GetSafeHwnd();
  if (!hwnd) return;
  PostToUi([hwnd, message] {
    if (CDialog* dialog = FromHandle(hwnd)) dialog->WindowProc(message);
  });
}

void CDialog::SendMessageW(UINT message) {
  CallOnUi([&] {
    if (created_) WindowProc(message);
  });
}

int CDialog::MessageBox(WStringView text, WStringView caption, UINT type) {
  const WString t(text), c(caption);
  return MessageBoxW(GetSafeHwnd(), t.c_str(), c.c_str(), type);
}

void CDialog::InputType(int id, WStringView text) {
  if (!created_ || !enabled_) return;
  if (Control* c = GetDlgItem(id)) {
    c->SetFocus();
    c->InputType(text);
  }
}

void CDialog::InputClick(int id) {
  if (!created_ || !enabled_) return;
  Control* c = GetDlgItem(id);
  if (!c || !c->IsEnabled() || !c->IsVisible()) return;
  if (c->Kind() == ControlKind::kCheckBox) {
    c->SetCheck(c->GetCheck() == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  }
  c->SetFocus();
  OnCommand(id, BN_CLICKED);
}

void CDialog::InputEscape() {
  if (!created_ || !enabled_) return;
  // The dialog manager sends IDCANCEL whether or not such a button exists,
  // but not through a disabled Cancel button.
  if (Control* c = GetDlgItem(IDCANCEL); c && !c->IsEnabled()) return;
  OnCommand(IDCANCEL, BN_CLICKED);
}

void CDialog::InputEnter() {
  if (!created_ || !enabled_) return;
  const int id = GetDefID();
  Control* c = GetDlgItem(id);
  if (c && !c->IsEnabled()) return;
  OnCommand(id, BN_CLICKED);
}

void CDialog::InputCloseBox() {
  if (!created_ || !enabled_ || !closeEnabled_) return;
  WindowProc(WM_CLOSE);
}

void CDialog::OnCommand(int id, int code) {
  if (!created_) return;
  if (const auto* handler = map_.Find(id, code)) {
    // A copy: the handler may end and destroy the map's owner's window.
    auto call = *handler;
    call();
    return;
  }
  if (code != BN_CLICKED) return;
  if (id == IDOK) OnOK();
  if (id == IDCANCEL) OnCancel();
}

void CDialog::WindowProc(UINT message) {
  if (message == WM_CLOSE) OnClose();
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnClose() { OnCommand(IDCANCEL, BN_CLICKED); }

}  // namespace tallow::ui
