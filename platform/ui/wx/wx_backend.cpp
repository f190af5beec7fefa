#include "platform/ui/wx/wx_backend.h"

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/gauge.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/spinbutt.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>
#include <wx/utils.h>

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "platform/ui/ui_thread.h"

namespace tallow::ui {

namespace {

wxString ToWx(WStringView s) {
  const std::string utf8 = ToAnsi(s);
  return wxString::FromUTF8(utf8.data(), utf8.size());
}

WString FromWx(const wxString& s) {
  const wxScopedCharBuffer utf8 = s.ToUTF8();
  return FromAnsi(std::string_view(utf8.data(), utf8.length()));
}

// Worker threads may wake the loop while the back end goes away.
std::mutex g_wakeMutex;
bool g_wxAlive = false;

// The templates name the other system's dialog fonts ("MS Shell Dlg",
// "MS Sans Serif", "MS UI Gothic"), none of which the desktop has: its own
// GUI font stands in, at its size for the usual 8 points and scaled for others.
wxFont DialogFont(const DialogTemplate& t) {
  wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  if (t.fontPoints > 0 && t.fontPoints != 8) {
    font.SetFractionalPointSize(font.GetFractionalPointSize() * t.fontPoints / 8.0);
  }
  return font;
}

// The other system's base units: average width of the Latin letters, rounded
// as it rounds them, and the font's full height.
BaseUnits MeasureBaseUnits(wxWindow* window) {
  int width = 0;
  int height = 0;
  window->GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height);
  return BaseUnits{(width / 26 + 1) / 2, height};
}

// Our own application icon: a flame-coloured disc with a lighter core.
wxBitmap DrawIcon(int size) {
  wxBitmap bitmap(size, size, 24);
  wxMemoryDC dc(bitmap);
  dc.SetBackground(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)));
  dc.Clear();
  dc.SetPen(wxPen(wxColour(120, 50, 10)));
  dc.SetBrush(wxBrush(wxColour(220, 110, 30)));
  dc.DrawEllipse(1, 1, size - 2, size - 2);
  dc.SetBrush(wxBrush(wxColour(250, 210, 90)));
  dc.DrawEllipse(size / 3, size / 3, size / 3, size / 3);
  dc.SelectObject(wxNullBitmap);
  return bitmap;
}

UINT ButtonsOf(UINT type) { return type & 0x0Fu; }
UINT IconOf(UINT type) { return type & 0xF0u; }

}  // namespace

struct WxBackend::Impl {
  struct Window {
    wxDialog* frame = nullptr;
    BaseUnits units;
    std::string face;
    std::vector<wxWindow*> byIndex;  // in template order
    std::map<int, wxWindow*> byId;   // the controls the code names
  };

  bool started = false;
  std::map<const CDialog*, Window> windows;
  DialogHandler onShown;
  std::chrono::milliseconds modalTimeout{30000};
  // Set while we change a wx control ourselves, so that its events are not
  // taken for the user's input.
  int updating = 0;

  Window* Find(const CDialog* dialog) {
    auto it = windows.find(dialog);
    return it == windows.end() ? nullptr : &it->second;
  }
  bool Alive(const CDialog* dialog) const { return windows.count(dialog) != 0; }

  void DispatchFor(std::chrono::milliseconds time) {
    wxEventLoopBase* active = wxEventLoopBase::GetActive();
    std::unique_ptr<wxGUIEventLoop> own;
    std::unique_ptr<wxEventLoopActivator> activator;
    if (!active) {
      own = std::make_unique<wxGUIEventLoop>();
      activator = std::make_unique<wxEventLoopActivator>(own.get());
      active = own.get();
    }
    const auto end = std::chrono::steady_clock::now() + time;
    do {
      while (RunOnePending()) {
      }
      if (wxTheApp) wxTheApp->ProcessPendingEvents();
      active->DispatchTimeout(10);
      active->ProcessIdle();
    } while (std::chrono::steady_clock::now() < end);
  }

  wxWindow* MakeControl(wxDialog* frame, const ControlTemplate& t, const Rect& px);
  void Bind(CDialog& dialog, wxWindow* w, const ControlTemplate& t);
  void Apply(Control& control, wxWindow* w);
};

wxWindow* WxBackend::Impl::MakeControl(wxDialog* frame, const ControlTemplate& t, const Rect& px) {
  const wxPoint pos(px.x, px.y);
  const wxSize size(px.cx, px.cy);
  const wxString text = ToWx(t.text ? WStringView(t.text) : WStringView());
  const DWORD s = t.style;
  switch (t.kind) {
    case ControlKind::kStatic: {
      long align = (s & 0x3u) == SS_CENTER ? wxALIGN_CENTRE_HORIZONTAL : wxALIGN_LEFT;
      auto* w = new wxStaticText(frame, wxID_ANY, wxString(), pos, size, align | wxST_NO_AUTORESIZE);
      if (s & SS_NOPREFIX) {
        w->SetLabelText(text);
      } else {
        w->SetLabel(text);
      }
      return w;
    }
    case ControlKind::kIcon:
      return new wxStaticBitmap(frame, wxID_ANY, DrawIcon(std::min(px.cx, px.cy)), pos, size);
    case ControlKind::kPicture:
      return new wxPanel(frame, wxID_ANY, pos, size, wxBORDER_SUNKEN);
    case ControlKind::kButton: {
      auto* w = new wxButton(frame, wxID_ANY, text, pos, size);
      if ((s & BS_TYPEMASK) == BS_DEFPUSHBUTTON) w->SetDefault();
      return w;
    }
    case ControlKind::kCheckBox:
      return new wxCheckBox(frame, wxID_ANY, text, pos, size);
    case ControlKind::kRadio:
      return new wxRadioButton(frame, wxID_ANY, text, pos, size, (s & WS_GROUP) ? wxRB_GROUP : 0);
    case ControlKind::kGroupBox:
      return new wxStaticBox(frame, wxID_ANY, text, pos, size);
    case ControlKind::kEdit: {
      long style = 0;
      if (s & ES_PASSWORD) style |= wxTE_PASSWORD;
      if (s & ES_READONLY) style |= wxTE_READONLY;
      if (!(s & WS_BORDER)) style |= wxBORDER_NONE;
      return new wxTextCtrl(frame, wxID_ANY, text, pos, size, style);
    }
    case ControlKind::kProgress:
      return new wxGauge(frame, wxID_ANY, 100, pos, size,
                         wxGA_HORIZONTAL | ((s & PBS_SMOOTH) ? wxGA_SMOOTH : 0));
    case ControlKind::kUpDown:
      return new wxSpinButton(frame, wxID_ANY, pos, size, wxSP_VERTICAL);
    case ControlKind::kListView:
      return new wxListCtrl(frame, wxID_ANY, pos, size, wxLC_REPORT);
    case ControlKind::kTreeView:
      return new wxTreeCtrl(frame, wxID_ANY, pos, size);
    case ControlKind::kComboBox:
      return new wxComboBox(frame, wxID_ANY, text, pos, size, 0, nullptr, wxCB_READONLY);
  }
  return new wxPanel(frame, wxID_ANY, pos, size);
}

void WxBackend::Impl::Bind(CDialog& dialog, wxWindow* w, const ControlTemplate& t) {
  const int id = t.id;
  CDialog* d = &dialog;
  switch (t.kind) {
    case ControlKind::kButton:
      w->Bind(wxEVT_BUTTON, [this, d, id](wxCommandEvent&) {
        if (Alive(d)) d->InputClick(id);
      });
      break;
    case ControlKind::kCheckBox:
      w->Bind(wxEVT_CHECKBOX, [this, d, id](wxCommandEvent&) {
        if (updating || !Alive(d)) return;
        d->InputClick(id);  // the layer toggles and tells us the new state
      });
      break;
    case ControlKind::kRadio:
      w->Bind(wxEVT_RADIOBUTTON, [this, d, id](wxCommandEvent&) {
        if (!updating && Alive(d)) d->InputClick(id);
      });
      break;
    case ControlKind::kEdit: {
      auto* edit = static_cast<wxTextCtrl*>(w);
      // Digits-only edits refuse other printable keys, as the other system's do.
      edit->Bind(wxEVT_CHAR, [this, d, id](wxKeyEvent& e) {
        Control* c = Alive(d) ? d->GetDlgItem(id) : nullptr;
        const int key = e.GetUnicodeKey();
        if (c && c->IsDigitsOnly() && key >= 32 && key != WXK_NONE && !(key >= '0' && key <= '9')) {
          return;
        }
        e.Skip();
      });
      edit->Bind(wxEVT_TEXT, [this, d, id, edit](wxCommandEvent&) {
        if (updating || !Alive(d)) return;
        Control* c = d->GetDlgItem(id);
        if (!c) return;
        const WString typed = FromWx(edit->GetValue());
        if (typed.size() > static_cast<std::size_t>(c->GetLimitText())) {
          ++updating;
          edit->ChangeValue(ToWx(c->GetText()));
          --updating;
          return;
        }
        if (typed != c->GetText()) c->SetText(typed);
      });
      break;
    }
    default:
      break;
  }
}

void WxBackend::Impl::Apply(Control& c, wxWindow* w) {
  ++updating;
  w->Show(c.IsVisible());
  w->Enable(c.IsEnabled());
  switch (c.Kind()) {
    case ControlKind::kStatic:
      if (c.GetStyle() & SS_NOPREFIX) {
        static_cast<wxStaticText*>(w)->SetLabelText(ToWx(c.GetText()));
      } else {
        w->SetLabel(ToWx(c.GetText()));
      }
      break;
    case ControlKind::kButton: {
      auto* button = static_cast<wxButton*>(w);
      button->SetLabel(ToWx(c.GetText()));
      if (c.IsDefaultButton()) button->SetDefault();
      break;
    }
    case ControlKind::kCheckBox:
      w->SetLabel(ToWx(c.GetText()));
      static_cast<wxCheckBox*>(w)->SetValue(c.GetCheck() == BST_CHECKED);
      break;
    case ControlKind::kRadio:
      w->SetLabel(ToWx(c.GetText()));
      static_cast<wxRadioButton*>(w)->SetValue(c.GetCheck() == BST_CHECKED);
      break;
    case ControlKind::kGroupBox:
      w->SetLabel(ToWx(c.GetText()));
      break;
    case ControlKind::kEdit: {
      auto* edit = static_cast<wxTextCtrl*>(w);
      const wxString text = ToWx(c.GetText());
      if (edit->GetValue() != text) edit->ChangeValue(text);
      edit->SetEditable(!c.IsReadOnly());
      edit->SetMaxLength(static_cast<unsigned long>(c.GetLimitText()));
      break;
    }
    case ControlKind::kProgress: {
      int lower = 0;
      int upper = 0;
      c.GetRange(&lower, &upper);
      auto* gauge = static_cast<wxGauge*>(w);
      const int range = std::max(1, upper > lower ? upper - lower : lower - upper);
      gauge->SetRange(range);
      gauge->SetValue(std::clamp(upper > lower ? c.GetPos() - lower : lower - c.GetPos(), 0, range));
      break;
    }
    default:
      break;
  }
  --updating;
}

WxBackend::WxBackend() : impl_(std::make_unique<Impl>()) {
  static int argc = 1;
  static char arg0[] = "tallowmere";
  static char* argv[] = {arg0, nullptr};
  if (!wxTheApp) wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv)) return;
  impl_->started = true;
  wxTheApp->CallOnInit();
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  {
    std::lock_guard lock(g_wakeMutex);
    g_wxAlive = true;
  }
  AttachUiThread(this);
  InstallCursorBackend(this);
}

WxBackend::~WxBackend() {
  if (!impl_->started) return;
  InstallCursorBackend(nullptr);
  DetachUiThread();
  {
    std::lock_guard lock(g_wakeMutex);
    g_wxAlive = false;
  }
  for (auto& [dialog, window] : impl_->windows) window.frame->Destroy();
  impl_->windows.clear();
  wxEntryCleanup();
}

bool WxBackend::Ok() const { return impl_->started; }

void WxBackend::OnDialogShown(DialogHandler handler) { impl_->onShown = std::move(handler); }
void WxBackend::SetModalTimeout(std::chrono::milliseconds timeout) { impl_->modalTimeout = timeout; }

std::optional<BaseUnits> WxBackend::DialogBaseUnits(const CDialog& dialog) const {
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w) return std::nullopt;
  return w->units;
}

std::optional<Rect> WxBackend::ClientRect(const CDialog& dialog) const {
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w) return std::nullopt;
  const wxSize size = w->frame->GetClientSize();
  return Rect{0, 0, size.x, size.y};
}

std::optional<Rect> WxBackend::ControlRect(const CDialog& dialog, std::size_t index) const {
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->byIndex.size()) return std::nullopt;
  const wxRect r = w->byIndex[index]->GetRect();
  return Rect{r.x, r.y, r.width, r.height};
}

std::optional<WxBackend::ControlView> WxBackend::ViewControl(const CDialog& dialog,
                                                             std::size_t index) const {
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->byIndex.size()) return std::nullopt;
  wxWindow* c = w->byIndex[index];
  ControlView view;
  view.shown = c->IsShown();
  view.enabled = c->IsEnabled();
  if (auto* edit = dynamic_cast<wxTextCtrl*>(c)) {
    view.text = edit->GetValue().ToStdString(wxConvUTF8);
  } else if (auto* text = dynamic_cast<wxStaticText*>(c)) {
    view.text = text->GetLabelText().ToStdString(wxConvUTF8);
  } else {
    view.text = c->GetLabel().ToStdString(wxConvUTF8);
  }
  if (auto* check = dynamic_cast<wxCheckBox*>(c)) view.checked = check->GetValue();
  if (auto* gauge = dynamic_cast<wxGauge*>(c)) {
    view.value = gauge->GetValue();
    view.range = gauge->GetRange();
  }
  return view;
}

bool WxBackend::Click(const CDialog& dialog, std::size_t index) {
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->byIndex.size()) return false;
  wxWindow* c = w->byIndex[index];
  if (auto* check = dynamic_cast<wxCheckBox*>(c)) {
    // What GTK does on a click: toggle, then tell.
    check->SetValue(!check->GetValue());
    wxCommandEvent event(wxEVT_CHECKBOX, check->GetId());
    event.SetEventObject(check);
    event.SetInt(check->GetValue() ? 1 : 0);
    check->ProcessWindowEvent(event);
    return true;
  }
  if (auto* button = dynamic_cast<wxButton*>(c)) {
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
    return true;
  }
  return false;
}

bool WxBackend::TypeInto(const CDialog& dialog, std::size_t index, const std::string& utf8) {
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->byIndex.size()) return false;
  auto* edit = dynamic_cast<wxTextCtrl*>(w->byIndex[index]);
  if (!edit) return false;
  edit->SetValue(wxString::FromUTF8(utf8.c_str()));  // raises wxEVT_TEXT, as typing does
  return true;
}

std::string WxBackend::FontFace(const CDialog& dialog) const {
  const Impl::Window* w = impl_->Find(&dialog);
  return w ? std::string(w->face) : std::string();
}

bool WxBackend::SaveScreenshot(const CDialog& dialog, const std::string& path) {
  Impl::Window* w = impl_->Find(&dialog);
  if (!w || !w->frame->IsShownOnScreen()) return false;
  w->frame->Update();
  const wxSize size = w->frame->GetClientSize();
  if (size.x <= 0 || size.y <= 0) return false;
  wxBitmap bitmap(size.x, size.y, 24);
  {
    // From the window itself, not the screen: a window closed a moment ago
    // may still show there.
    wxClientDC window(w->frame);
    wxMemoryDC memory(bitmap);
    if (!memory.Blit(0, 0, size.x, size.y, &window, 0, 0)) return false;
    memory.SelectObject(wxNullBitmap);
  }
  return bitmap.ConvertToImage().SaveFile(wxString::FromUTF8(path.c_str()), wxBITMAP_TYPE_PNG);
}

void WxBackend::Pump(std::chrono::milliseconds time) { impl_->DispatchFor(time); }

void WxBackend::RunModalLoop(CDialog& dialog) {
  Impl::Window* w = impl_->Find(&dialog);
  if (!w) return;  // DoModal answers kModalFailed
  wxDialog* frame = w->frame;
  frame->Show();
  frame->Raise();

  wxGUIEventLoop loop;
  wxEventLoopActivator activate(&loop);
  const auto start = std::chrono::steady_clock::now();
  const auto timedOut = [&] {
    return impl_->modalTimeout.count() > 0 &&
           std::chrono::steady_clock::now() - start > impl_->modalTimeout;
  };
  if (impl_->onShown) {
    // Wait until the window is mapped and drawn before handing it over.
    while (!dialog.IsEnded() && !frame->IsShownOnScreen() && !timedOut()) {
      impl_->DispatchFor(std::chrono::milliseconds(20));
    }
    impl_->DispatchFor(std::chrono::milliseconds(300));
    if (!dialog.IsEnded() && impl_->Alive(&dialog)) {
      DialogHandler handler = impl_->onShown;  // it may open a nested dialog
      handler(dialog);
    }
  }
  while (!dialog.IsEnded() && !timedOut()) {
    if (RunOnePending()) continue;
    if (wxTheApp) wxTheApp->ProcessPendingEvents();
    loop.DispatchTimeout(50);
    loop.ProcessIdle();
  }
}

int WxBackend::ShowMessageBox(HWND owner, WStringView text, WStringView caption, UINT type) {
  wxWindow* parent = nullptr;
  if (CDialog* dialog = CDialog::FromHandle(owner)) {
    if (Impl::Window* w = impl_->Find(dialog)) parent = w->frame;
  }
  long style = ButtonsOf(type) == MB_OKCANCEL ? (wxOK | wxCANCEL) : wxOK;
  switch (IconOf(type)) {
    case MB_ICONERROR: style |= wxICON_ERROR; break;
    case MB_ICONWARNING: style |= wxICON_WARNING; break;
    case MB_ICONINFORMATION: style |= wxICON_INFORMATION; break;
    default: break;
  }
  if (type & MB_TOPMOST) style |= wxSTAY_ON_TOP;
  wxMessageDialog box(parent, ToWx(text), ToWx(caption), style);
  const int answer = box.ShowModal();
  return answer == wxID_CANCEL ? IDCANCEL : IDOK;
}

void WxBackend::Wake() {
  // Also runs the queue inside loops that are not ours (a message box's).
  std::lock_guard lock(g_wakeMutex);
  if (!g_wxAlive || !wxTheApp) return;
  wxTheApp->CallAfter([] { RunPending(); });
}

void WxBackend::WindowCreated(CDialog& dialog) {
  const DialogTemplate* t = dialog.Template();
  if (!t || !impl_->started) return;
  wxWindow* parent = nullptr;
  if (CDialog* owner = dialog.GetParent()) {
    if (Impl::Window* w = impl_->Find(owner)) parent = w->frame;
  }
  auto* frame = new wxDialog(parent, wxID_ANY, ToWx(dialog.GetWindowText()), wxDefaultPosition,
                             wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
  Impl::Window& w = impl_->windows[&dialog];
  w.frame = frame;
  const wxFont font = DialogFont(*t);
  frame->SetFont(font);
  w.face = font.GetFaceName().ToStdString();
  w.units = MeasureBaseUnits(frame);
  const Rect client = DialogUnitsToPixels(t->rect, w.units);
  frame->SetClientSize(client.cx, client.cy);

  for (const ControlTemplate& ct : t->controls) {
    const Rect px = DialogUnitsToPixels(ct.rect, w.units);
    wxWindow* c = impl_->MakeControl(frame, ct, px);
    // Exactly the template's place, whatever size the theme would prefer.
    c->SetSize(px.x, px.y, px.cx, px.cy);
    if (!(ct.style & WS_VISIBLE)) c->Hide();
    if (ct.style & WS_DISABLED) c->Disable();
    w.byIndex.push_back(c);
    if (ct.id != IDC_STATIC) w.byId.emplace(ct.id, c);
    impl_->Bind(dialog, c, ct);
  }

  CDialog* d = &dialog;
  Impl* impl = impl_.get();
  frame->Bind(wxEVT_CLOSE_WINDOW, [impl, d](wxCloseEvent& e) {
    if (!e.CanVeto()) {
      e.Skip();
      return;
    }
    e.Veto();  // the layer decides, and destroys the window itself
    if (impl->Alive(d)) d->InputCloseBox();
  });
  frame->Bind(wxEVT_CHAR_HOOK, [impl, d](wxKeyEvent& e) {
    if (!impl->Alive(d)) return e.Skip();
    switch (e.GetKeyCode()) {
      case WXK_ESCAPE:
        d->InputEscape();
        return;
      case WXK_RETURN:
      case WXK_NUMPAD_ENTER:
        // Enter on a focused push button presses that one.
        if (dynamic_cast<wxButton*>(wxWindow::FindFocus())) return e.Skip();
        d->InputEnter();
        return;
      default:
        e.Skip();
    }
  });

  if (t->style & DS_CENTER) frame->CentreOnScreen();
  if (dialog.IsWindowVisible()) frame->Show();
}

void WxBackend::WindowDestroyed(CDialog& dialog) {
  auto it = impl_->windows.find(&dialog);
  if (it == impl_->windows.end()) return;
  wxDialog* frame = it->second.frame;
  impl_->windows.erase(it);
  frame->Hide();
  // Deferred: this may run inside one of the window's own handlers.
  frame->Destroy();
}

void WxBackend::WindowChanged(CDialog& dialog) {
  Impl::Window* w = impl_->Find(&dialog);
  if (!w) return;
  w->frame->SetTitle(ToWx(dialog.GetWindowText()));
  w->frame->Enable(dialog.IsWindowEnabled());
  // GTK cannot gray the close box; it can take it away while Close is grayed.
  w->frame->EnableCloseButton(dialog.IsCloseCommandEnabled());
  // A modal dialog is shown by its loop; a modeless one follows ShowWindow.
  if (!dialog.IsModal()) w->frame->Show(dialog.IsWindowVisible());
}

void WxBackend::ControlChanged(Control& control) {
  Impl::Window* w = impl_->Find(&control.Parent());
  if (!w) return;
  auto it = w->byId.find(control.GetDlgCtrlID());
  if (it == w->byId.end()) return;
  impl_->Apply(control, it->second);
}

void WxBackend::Show(HCURSOR cursor) {
  const auto apply = [cursor] {
    if (!wxTheApp) return;
    wxSetCursor(cursor == IDC_WAIT ? *wxHOURGLASS_CURSOR : wxNullCursor);
  };
  if (IsUiThread()) {
    apply();
  } else {
    PostToUi(apply);
  }
}

}  // namespace tallow::ui
