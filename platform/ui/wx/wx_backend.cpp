// The back end's life, its geometry and its ties to the UI thread: wx starts
// and ends here, fonts become base units, queued calls wake the loop.
#include "platform/ui/wx/wx_backend.h"
#include "platform/ui/ui_thread.h"
#include "platform/ui/wx/wx_impl.h"

#include <wx/app.h>
#include <wx/dcscreen.h>
#include <wx/display.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/settings.h>
#include <wx/utils.h>

// GTK's own settings, which wx does not reach.
#include <gtk/gtk.h>

#include <algorithm>
#include <mutex>

namespace tallow::ui {

namespace {

// Worker threads may wake the loop while the back end goes away.
std::mutex g_wakeMutex;
bool g_wxAlive = false;

WxBackend::Impl* g_impl = nullptr;  // UI thread only

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The other system's base units: average width of the Latin letters, rounded
// as it rounds them, and the font's full height.
BaseUnits MeasureBaseUnits(const wxFont& font) {
  wxScreenDC dc;
  dc.SetFont(font);
  wxCoord width = 0;
  wxCoord height = 0;
  dc.GetTextExtent(kLetters, &width, &height);
  return BaseUnits{std::max(1, (width / 26 + 1) / 2), std::max(1, static_cast<int>(height))};
}

}  // namespace

wxString ToWx(WStringView s) {
  const std::string utf8 = ToAnsi(s);
  return wxString::FromUTF8(utf8.data(), utf8.size());
}

WString FromWx(const wxString& s) {
  const wxScopedCharBuffer utf8 = s.ToUTF8();
  return FromAnsi(std::string_view(utf8.data(), utf8.length()));
}

std::string Utf8(const wxString& s) {
  const wxScopedCharBuffer utf8 = s.ToUTF8();
  return std::string(utf8.data(), utf8.length());
}

// "MS Shell Dlg", "MS Sans Serif", "MS UI Gothic": the desktop's GUI font at
// its size for the usual 8 points, scaled for others.
wxFont DialogFont(const DialogTemplate& t) {
  wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  if (t.fontPoints > 0 && t.fontPoints != 8) {
    font.SetFractionalPointSize(font.GetFractionalPointSize() * t.fontPoints / 8.0);
  }
  return font;
}

WxBackend::Impl* CurrentWxImpl() { return g_impl; }
WxBackend::Impl& ImplOf(WxBackend& backend) { return *backend.impl_; }

int WxBackend::Impl::EstimatedMenuBarHeight() {
  if (menuBarHeight > 0) return menuBarHeight;
  // GTK's menu bar: a line of the GUI font with its item padding.
  wxScreenDC dc;
  dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
  return dc.GetCharHeight() + 8;
}

WxBackend::WxBackend() : impl_(std::make_unique<Impl>()) {
  static int argc = 1;
  static char arg0[] = "tallowmere";
  static char* argv[] = {arg0, nullptr};
  if (!wxTheApp) wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv)) return;
  impl_->started = true;
  // GTK's themes fade a button between its states over a fifth of a second:
  // a window that changes its text and its buttons in one step would show
  // the new text beside buttons of the old state in between, a state it
  // never has. The other system changes them at once.
  const gboolean animations = 0;
  g_object_set(gtk_settings_get_default(), "gtk-enable-animations", animations, nullptr);
  wxTheApp->CallOnInit();
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  if (!wxImage::FindHandler(wxBITMAP_TYPE_JPEG)) wxImage::AddHandler(new wxJPEGHandler);
  if (!wxImage::FindHandler(wxBITMAP_TYPE_TIFF)) wxImage::AddHandler(new wxTIFFHandler);
  {
    std::lock_guard lock(g_wakeMutex);
    g_wxAlive = true;
  }
  g_impl = impl_.get();
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
  g_impl = nullptr;
  std::vector<wxTopLevelWindow*> tops;
  for (auto& [dialog, window] : impl_->windows) tops.push_back(window.top);
  impl_->windows.clear();
  for (wxTopLevelWindow* top : tops) top->Destroy();
  // wx's own objects go before wx does.
  impl_->iconCache.clear();
  wxEntryCleanup();
}

bool WxBackend::Ok() const { return impl_->started; }

BaseUnits WxBackend::DialogBaseUnits(const DialogTemplate& t) {
  if (!impl_->started) return UiBackend::DialogBaseUnits(t);
  auto it = impl_->unitsByPoints.find(t.fontPoints);
  if (it == impl_->unitsByPoints.end()) {
    it = impl_->unitsByPoints.emplace(t.fontPoints, MeasureBaseUnits(DialogFont(t))).first;
  }
  return it->second;
}

FrameMetrics WxBackend::WindowFrame(const DialogTemplate& t) {
  if (!impl_->started) return UiBackend::WindowFrame(t);
  // The window manager's decorations lie outside what the layer places, as
  // GTK sizes and places a window by its own area: they are known only once
  // a window has been decorated, and not per side, and a window that learnt
  // them would come out another size than one made before.
  FrameMetrics f;
  if (t.menuId) f.top = impl_->EstimatedMenuBarHeight();
  return f;
}

Rect WxBackend::WorkArea() {
  if (!impl_->started) return UiBackend::WorkArea();
  const wxRect area = wxDisplay(0u).GetClientArea();
  return Rect{area.x, area.y, area.width, area.height};
}

void WxBackend::Wake() {
  // Also runs the queue inside loops that are not ours (a message box's).
  std::lock_guard lock(g_wakeMutex);
  if (!g_wxAlive || !wxTheApp) return;
  wxTheApp->CallAfter([] { RunPending(); });
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
