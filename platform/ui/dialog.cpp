// A dialog window: made from its template, run modally or not, its
// controls found by id, its messages and commands dispatched, and the
// input a back end brings in.
#include "platform/ui/dialog.h"

#include <algorithm>

#include "platform/ui/radio_group.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

namespace {

// The closed field of a drop-down list, in dialog units.
constexpr int kComboFieldDlu = 13;

// The screen position of the message being handled (UI thread only).
Point g_messagePos;

std::unique_ptr<CMenu> MakeSystemMenu() {
  auto menu = std::make_unique<CMenu>();
  menu->AppendMenu(MF_STRING | MF_GRAYED, SC_RESTORE, u"Restore");
  menu->AppendMenu(MF_STRING, SC_MOVE, u"Move");
  menu->AppendMenu(MF_STRING, SC_MINIMIZE, u"Minimize");
  menu->AppendMenu(MF_SEPARATOR);
  menu->AppendMenu(MF_STRING, SC_CLOSE, u"Close");
  return menu;
}

}  // namespace

Point GetMessagePos() { return g_messagePos; }
Point GetCursorPos() { return g_messagePos; }
void SetMessagePos(Point screen) { g_messagePos = screen; }

const std::function<void()>* MessageMap::Find(int id, int code) const {
  for (const auto& e : commands_) {
    if (e.id == id && e.code == code) return &e.handler;
  }
  return nullptr;
}

const MessageMap::NotifyHandler* MessageMap::FindNotify(int id, int code) const {
  for (const auto& e : notifies_) {
    if (e.id == id && e.code == code) return &e.handler;
  }
  return nullptr;
}

const MessageMap::MessageHandler* MessageMap::FindMessage(UINT message) const {
  for (const auto& e : messages_) {
    if (e.id == static_cast<int>(message)) return &e.handler;
  }
  return nullptr;
}

CDialog::CDialog(int templateId, CDialog* parent)
    : template_(FindDialogTemplate(templateId)), parent_(parent) {}

CDialog::CDialog(const DialogTemplate& tmpl, CDialog* parent) : template_(&tmpl), parent_(parent) {}

namespace {
std::atomic<CDialog*> g_mainWindow{nullptr};
}  // namespace

void SetMainWindow(CDialog* window) { g_mainWindow = window; }
CDialog* GetMainWindow() { return g_mainWindow; }

ModalOwnerScope::ModalOwnerScope(HWND owner, bool mainIfNone) {
  CDialog* window = CDialog::FromHandle(owner);
  if (!window && mainIfNone) window = GetMainWindow();
  if (!window || !window->GetSafeHwnd()) return;
  owner_ = window->GetSafeHwnd();
  if (!window->IsWindowEnabled()) return;  // an outer modal window holds it
  window->EnableWindow(false);
  disabled_ = true;
}

ModalOwnerScope::~ModalOwnerScope() {
  if (!disabled_) return;
  if (CDialog* window = CDialog::FromHandle(owner_)) window->EnableWindow(true);
}

CDialog::~CDialog() {
  CDialog* self = this;
  g_mainWindow.compare_exchange_strong(self, nullptr);
  if (Created()) CallOnUi([&] { DestroyNow(); });
}

CDialog* CDialog::FromHandle(HWND hwnd) { return WindowFromHandle(hwnd); }

namespace {
std::unique_ptr<Control> MakeControl(CDialog& dialog, const ControlTemplate& t) {
  switch (t.kind) {
    case ControlKind::kUpDown: return std::make_unique<CSpinButtonCtrl>(dialog, t);
    case ControlKind::kComboBox: return std::make_unique<CComboBox>(dialog, t);
    case ControlKind::kListView: return std::make_unique<CListCtrl>(dialog, t);
    case ControlKind::kTreeView: return std::make_unique<CTreeCtrl>(dialog, t);
    default: return std::make_unique<Control>(dialog, t);
  }
}
}  // namespace

bool CDialog::MakeWindow(CDialog* parent, bool modal) {
  UiBackend* backend = CurrentBackend();
  if (!template_ || Created() || !backend) return false;
  parent_ = parent ? parent : parent_;
  // A modal dialog without a parent belongs to the main window, as the
  // other system's class library gives it one.
  owner_ = parent_ ? parent_ : modal ? GetMainWindow() : nullptr;
  if (owner_ == this || (owner_ && !owner_->Created())) owner_ = parent_;
  const BaseUnits units = backend->DialogBaseUnits(*template_);
  frame_ = backend->WindowFrame(*template_);
  controls_.clear();
  for (const ControlTemplate& t : template_->controls) {
    controls_.push_back(MakeControl(*this, t));
    Rect px = DialogUnitsToPixels(t.rect, units);
    // A drop-down list's template height is that of its open list; the
    // window is as tall as its closed field.
    if (t.kind == ControlKind::kComboBox) px.cy = std::min(px.cy, MulDiv(kComboFieldDlu, units.y, 8));
    controls_.back()->SetPixelRect(px);
  }
  BindBuddies();
  caption_ = template_->caption ? template_->caption : u"";
  visible_ = (template_->style & WS_VISIBLE) != 0;
  enabled_ = (template_->style & WS_DISABLED) == 0;
  iconic_ = (template_->style & WS_MINIMIZE) != 0;
  ended_ = false;
  shownOnce_ = false;
  paintPending_ = false;
  result_ = 0;
  focusId_ = 0;
  bigIcon_ = smallIcon_ = 0;
  surface_.Clear();
  menu_ = template_->menuId ? CMenu::Load(template_->menuId) : nullptr;
  GetSystemMenu(TRUE);

  // Where the window stands: centred in the work area, or at the template's
  // place over its owner's client area.
  const Rect client = DialogUnitsToPixels(Rect{0, 0, template_->rect.cx, template_->rect.cy}, units);
  const int cx = client.cx + frame_.left + frame_.right;
  const int cy = client.cy + frame_.top + frame_.bottom;
  const Rect area = backend->WorkArea();
  if (template_->style & DS_CENTER) {
    windowRect_ = Rect{area.x + (area.cx - cx) / 2, area.y + (area.cy - cy) / 2, cx, cy};
  } else {
    Point origin;
    if (owner_ && owner_->Created()) owner_->ClientToScreen(&origin);
    const Rect at = DialogUnitsToPixels(template_->rect, units);
    windowRect_ = Rect{origin.x + at.x, origin.y + at.y, cx, cy};
  }

  map_.Clear();
  DeclareMessageMap(map_);
  hwnd_ = RegisterWindow(this);
  backend->WindowCreated(*this);
  if (visible_) Invalidate(FALSE);
  return true;
}

void CDialog::BindBuddies() {
  for (std::size_t i = 1; i < controls_.size(); ++i) {
    auto* spin = dynamic_cast<CSpinButtonCtrl*>(controls_[i].get());
    if (!spin || !(spin->style_ & UDS_AUTOBUDDY)) continue;
    Control* buddy = controls_[i - 1].get();  // the control before it
    spin->SetBuddy(buddy);
    if (spin->style_ & UDS_ALIGNRIGHT) {
      // The up-down takes the right end of its buddy, which narrows by as much.
      const Rect b = buddy->pixelRect_;
      const int width = std::min(spin->pixelRect_.cx, b.cx);
      buddy->pixelRect_.cx = b.cx - width;
      spin->pixelRect_ = Rect{b.x + b.cx - width, b.y, width, b.cy};
    }
  }
}

void CDialog::DestroyNow() {
  if (!Created()) return;
  if (UiBackend* backend = CurrentBackend()) backend->WindowDestroyed(*this);
  UnregisterWindow(hwnd_);
  hwnd_ = nullptr;
  owner_ = nullptr;
  controls_.clear();
  map_.Clear();
  menu_.reset();
  systemMenu_.reset();
  surface_.Clear();
  paintPending_ = false;
}

int CDialog::DoModal() {
  return CallOnUi([&] {
    if (!MakeWindow(parent_, true)) return kModalFailed;
    modal_ = true;
    int result;
    {
      // The owner takes no input while its modal child runs.
      const ModalOwnerScope owned(owner_ ? owner_->GetSafeHwnd() : nullptr, false);
      OnInitDialog();
      if (!ended_) CurrentBackend()->RunModalLoop(*this);
      result = ended_ ? result_ : kModalFailed;
    }
    modal_ = false;
    DestroyNow();
    return result;
  });
}

void CDialog::OnModalIdle() {
  if (!Created() || ended_ || shownOnce_) return;
  shownOnce_ = true;
  // The dialog manager shows a modal dialog once its queue is empty, as a
  // normal window even when its template made it minimised.
  ShowWindow(SW_SHOWNORMAL);
}

bool CDialog::Create(CDialog* parent) {
  return CallOnUi([&] {
    if (!MakeWindow(parent, false)) return false;
    OnInitDialog();
    if (Created() && visible_) CurrentBackend()->PresentNow(*this);
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
    if (Created()) CurrentBackend()->WindowChanged(*this);
  });
}

WString CDialog::GetWindowText() const { return CallOnUi([&] { return caption_; }); }

void CDialog::ShowWindow(int command) {
  CallOnUi([&] {
    if (!Created()) return;
    const bool wasVisible = visible_;
    visible_ = command != SW_HIDE;
    CurrentBackend()->WindowChanged(*this);
    if (command == SW_MINIMIZE) Minimize();
    if (command == SW_RESTORE || command == SW_SHOWNORMAL) Restore();
    if (visible_ && !wasVisible) Invalidate(FALSE);
  });
}

bool CDialog::IsWindowVisible() const { return CallOnUi([&] { return Created() && visible_; }); }

void CDialog::EnableWindow(bool enable) {
  CallOnUi([&] {
    enabled_ = enable;
    if (Created()) CurrentBackend()->WindowChanged(*this);
  });
}

bool CDialog::IsWindowEnabled() const { return CallOnUi([&] { return Created() && enabled_; }); }

void CDialog::SetForegroundWindow() {
  CallOnUi([&] {
    if (Created()) CurrentBackend()->WindowChanged(*this);
  });
}

void CDialog::GotoDlgCtrl(Control* control) {
  if (control) control->SetFocus();
}

Control* CDialog::GetFocus() const { return GetDlgItem(GetFocusId()); }
int CDialog::GetFocusId() const { return CallOnUi([&] { return focusId_; }); }

void CDialog::SetFocusId(int id) {
  CallOnUi([&] {
    if (id == focusId_) return;
    const int old = focusId_;
    focusId_ = id;
    // Edits tell their parent when the focus leaves and reaches them.
    if (Control* c = GetDlgItem(old); c && c->Kind() == ControlKind::kEdit) {
      OnCommand(old, EN_KILLFOCUS);
    }
    if (Control* c = GetDlgItem(id); c && c->Kind() == ControlKind::kEdit && focusId_ == id) {
      OnCommand(id, EN_SETFOCUS);
    }
    if (Created()) CurrentBackend()->WindowChanged(*this);
  });
}

int CDialog::GetDefID() const {
  return CallOnUi([&] {
    for (const auto& c : controls_) {
      if (c->IsDefaultButton()) return c->GetDlgCtrlID();
    }
    return IDOK;
  });
}

void CDialog::SetDefID(int id) {
  CallOnUi([&] {
    for (const auto& c : controls_) {
      if (c->Kind() != ControlKind::kButton) continue;
      if (c->GetDlgCtrlID() == id) {
        c->SetButtonStyle(BS_DEFPUSHBUTTON);
      } else if (c->IsDefaultButton()) {
        c->SetButtonStyle(BS_PUSHBUTTON);
      }
    }
  });
}

HICON CDialog::SetIcon(HICON icon, BOOL big) {
  return CallOnUi([&] {
    HICON& slot = big ? bigIcon_ : smallIcon_;
    const HICON previous = slot;
    slot = icon;
    if (Created()) CurrentBackend()->WindowChanged(*this);
    return previous;
  });
}

HICON CDialog::GetIcon(BOOL big) const {
  return CallOnUi([&] { return big ? bigIcon_ : smallIcon_; });
}

void CDialog::DrawMenuBar() {
  CallOnUi([&] {
    if (Created() && menu_) CurrentBackend()->MenuChanged(*this);
  });
}

CMenu* CDialog::GetSystemMenu(BOOL revert) {
  return CallOnUi([&]() -> CMenu* {
    if (!revert) return systemMenu_.get();
    systemMenu_ = MakeSystemMenu();
    // The menu lives and dies with this window.
    systemMenu_->OnChange([this] {
      UiBackend* backend = CurrentBackend();
      if (Created() && backend) backend->WindowChanged(*this);
    });
    return nullptr;
  });
}

void CDialog::EnableCloseCommand(bool enable) {
  if (CMenu* menu = GetSystemMenu(FALSE)) {
    CallOnUi([&] { menu->EnableMenuItem(SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED)); });
  }
}

bool CDialog::IsCloseCommandEnabled() const {
  return CallOnUi([&] {
    if (!systemMenu_) return true;
    const UINT state = systemMenu_->GetMenuState(SC_CLOSE, MF_BYCOMMAND);
    return state != kMenuFailed && !(state & (MF_GRAYED | MF_DISABLED));
  });
}

void CDialog::Invalidate(BOOL erase) {
  CallOnUi([&] {
    if (!Created()) return;
    UiBackend* backend = CurrentBackend();
    if (erase) {
      surface_.Clear();
      backend->SurfaceChanged(*this, nullptr);
      for (const auto& c : controls_) {
        if (c->GetSurface().Ops().empty()) continue;
        c->MutableSurface().Clear();
        backend->SurfaceChanged(*this, c.get());
      }
    }
    if (paintPending_) return;
    paintPending_ = true;
    const HWND hwnd = GetSafeHwnd();
    PostToUi([hwnd] {
      if (CDialog* d = FromHandle(hwnd)) d->UpdateWindow();
    });
  });
}

void CDialog::UpdateWindow() {
  CallOnUi([&] {
    if (!Created() || !paintPending_) return;
    paintPending_ = false;
    if (visible_) WindowProc(WM_PAINT);
  });
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  return CallOnUi([&] {
    if (!Created()) return FALSE;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return dx.Failed() ? FALSE : TRUE;
  });
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(hwnd)) return FALSE;
  PostToUi([hwnd, message, wParam, lParam] {
    if (CDialog* dialog = CDialog::FromHandle(hwnd)) dialog->WindowProc(message, wParam, lParam);
  });
  return TRUE;
}

BOOL CDialog::PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) {
  return ui::PostMessageW(GetSafeHwnd(), message, wParam, lParam);
}

LRESULT CDialog::SendMessageW(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallOnUi([&]() -> LRESULT { return Created() ? WindowProc(message, wParam, lParam) : 0; });
}

int CDialog::MessageBox(WStringView text, WStringView caption, UINT type) {
  const WString t(text), c(caption);
  return MessageBoxW(GetSafeHwnd(), t.c_str(), c.c_str(), type);
}

void CDialog::InputType(int id, WStringView text) {
  if (!Created() || !enabled_) return;
  if (Control* c = GetDlgItem(id)) {
    c->SetFocus();
    c->InputType(text);
  }
}

void CDialog::InputClick(int id) {
  if (!Created() || !enabled_) return;
  Control* c = GetDlgItem(id);
  if (!c || !c->IsEnabled() || !c->IsVisible()) return;
  if (c->Kind() == ControlKind::kCheckBox) {
    c->SetCheck(c->GetCheck() == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  }
  if (c->Kind() == ControlKind::kRadio && (c->GetStyle() & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
    // An automatic radio button checks itself and clears the rest of its group.
    for (Control* peer : RadiosOf(*this, c)) {
      peer->SetCheck(peer == c ? BST_CHECKED : BST_UNCHECKED);
    }
  }
  c->SetFocus();
  if (!Created()) return;
  OnCommand(id, BN_CLICKED);
}

void CDialog::InputKey(WPARAM key) {
  if (!Created() || !enabled_) return;
  Control* focus = GetFocus();
  MSG msg{focus ? focus->GetSafeHwnd() : GetSafeHwnd(), WM_KEYDOWN, key, 0};
  if (PreTranslateMessage(&msg) || !Created()) return;
  // Not the dialog's: the focused control has it. An up-down with arrow
  // keys steps when its buddy has the focus.
  focus = GetFocus();
  if (!focus) return;
  if (key == VK_UP || key == VK_DOWN) {
    for (const auto& c : controls_) {
      auto* spin = dynamic_cast<CSpinButtonCtrl*>(c.get());
      if (spin && spin->GetBuddy() == focus && (spin->GetStyle() & UDS_ARROWKEYS)) {
        spin->InputKeyDown(key);
        return;
      }
    }
  }
  focus->InputKeyDown(key);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) { return IsDialogMessage(msg); }

BOOL CDialog::IsDialogMessage(MSG* msg) {
  if (!msg || msg->message != WM_KEYDOWN) return FALSE;
  if (msg->wParam == VK_ESCAPE) {
    // The dialog manager sends IDCANCEL whether or not such a button
    // exists, but not through a disabled Cancel button.
    if (Control* c = GetDlgItem(IDCANCEL); c && !c->IsEnabled()) return TRUE;
    OnCommand(IDCANCEL, BN_CLICKED);
    return TRUE;
  }
  if (msg->wParam == VK_RETURN) {
    // A focused push button is pressed itself; otherwise the default one.
    int id = GetDefID();
    if (Control* f = GetFocus(); f && f->Kind() == ControlKind::kButton) id = f->GetDlgCtrlID();
    if (Control* c = GetDlgItem(id); c && !c->IsEnabled()) return TRUE;
    OnCommand(id, BN_CLICKED);
    return TRUE;
  }
  return FALSE;
}

void CDialog::InputCloseBox() { InputSysCommand(SC_CLOSE); }

void CDialog::InputSysCommand(UINT id) {
  if (!Created() || !enabled_) return;
  if (systemMenu_) {
    const UINT state = systemMenu_->GetMenuState(id, MF_BYCOMMAND);
    if (state != kMenuFailed && (state & (MF_GRAYED | MF_DISABLED)) && id != SC_RESTORE) return;
  }
  WindowProc(WM_SYSCOMMAND, id, 0);
}

void CDialog::InputMenuCommand(int id) {
  if (!Created() || !enabled_ || !menu_) return;
  const UINT state = menu_->GetMenuState(static_cast<UINT>(id), MF_BYCOMMAND);
  if (state == kMenuFailed || (state & (MF_GRAYED | MF_DISABLED))) return;
  OnCommand(id, 0);
}

void CDialog::OnCommand(int id, int code) {
  if (!Created()) return;
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

LRESULT CDialog::SendNotify(NMHDR& header) {
  return CallOnUi([&]() -> LRESULT {
    if (!Created()) return 0;
    const auto* handler = map_.FindNotify(header.idFrom, header.code);
    if (!handler) return 0;
    auto call = *handler;
    LRESULT result = 0;
    call(&header, &result);
    return result;
  });
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (const auto* handler = map_.FindMessage(message)) {
    // A copy: the handler may destroy the map's owner's window.
    auto call = *handler;
    return call(wParam, lParam);
  }
  switch (message) {
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_SYSCOMMAND:
      OnSysCommand(static_cast<UINT>(wParam), lParam);
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam), static_cast<int>(lParam & 0xFFFF),
             static_cast<int>((lParam >> 16) & 0xFFFF));
      return 0;
    case WM_COMMAND:
      OnCommand(static_cast<int>(wParam & 0xFFFF), static_cast<int>((wParam >> 16) & 0xFFFF));
      return 0;
    case WM_QUERYDRAGICON:
      return OnQueryDragIcon();
    default:
      return DefWindowProc(message, wParam, lParam);
  }
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  if (message == WM_ICONERASEBKGND && Created()) {
    surface_.Clear();
    if (UiBackend* backend = CurrentBackend()) backend->SurfaceChanged(*this, nullptr);
  }
  return 0;
}

void CDialog::OnSysCommand(UINT id, LPARAM /*param*/) {
  switch (id & 0xFFF0u) {
    case SC_CLOSE:
      WindowProc(WM_CLOSE);
      break;
    case SC_MINIMIZE:
      ShowWindow(SW_MINIMIZE);
      break;
    case SC_RESTORE:
      ShowWindow(SW_RESTORE);
      break;
    default:
      break;
  }
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
