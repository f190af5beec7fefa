#include "platform/ui/wx/wx_backend.h"

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/dialog.h>
#include <wx/dirdlg.h>
#include <wx/display.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/iconbndl.h>
#include <wx/image.h>
#include <wx/imaglist.h>
#include <wx/init.h>
#include <wx/listctrl.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/mstream.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/treectrl.h>
#include <wx/utils.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <vector>

#include "platform/ui/file_dialog.h"
#include "platform/ui/icon.h"
#include "platform/ui/image.h"
#include "platform/ui/menu.h"
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

std::string Utf8(const wxString& s) {
  const wxScopedCharBuffer utf8 = s.ToUTF8();
  return std::string(utf8.data(), utf8.length());
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

wxColour ColourOf(COLORREF c) { return wxColour(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// The program's icon art at |size| pixels; with a background colour the
// transparent parts take it, as an image list with a background does.
wxImage IconArt(HICON icon, int size, COLORREF background = CLR_NONE) {
  const std::vector<std::uint32_t> argb = RenderIcon(icon, size);
  wxImage image(size, size);
  if (background == CLR_NONE) image.InitAlpha();
  const wxColour bg = ColourOf(background == CLR_NONE ? 0 : background);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const std::uint32_t p = argb[static_cast<std::size_t>(y) * size + x];
      const int a = static_cast<int>(p >> 24);
      int r = (p >> 16) & 0xFF;
      int g = (p >> 8) & 0xFF;
      int b = p & 0xFF;
      if (background == CLR_NONE) {
        image.SetAlpha(x, y, static_cast<unsigned char>(a));
      } else {
        r = (r * a + bg.Red() * (255 - a)) / 255;
        g = (g * a + bg.Green() * (255 - a)) / 255;
        b = (b * a + bg.Blue() * (255 - a)) / 255;
      }
      image.SetRGB(x, y, static_cast<unsigned char>(r), static_cast<unsigned char>(g),
                   static_cast<unsigned char>(b));
    }
  }
  return image;
}

// An icon at the size its art was drawn in (buttons and icon statics show
// icons unscaled).
int NaturalSize(HICON icon) {
  const IconImage* art = FindIconImage(icon);
  return art && art->size > 0 ? art->size : GetSystemMetrics(SM_CXICON);
}

UINT ButtonsOf(UINT type) { return type & 0x0Fu; }
UINT IconOf(UINT type) { return type & 0xF0u; }

bool IsDefaultSysCommand(int id) {
  const UINT base = static_cast<UINT>(id) & 0xFFF0u;
  return base == SC_RESTORE || base == SC_MOVE || base == SC_MINIMIZE || base == SC_CLOSE;
}

bool Grayed(UINT state) { return (state & (MF_GRAYED | MF_DISABLED)) != 0; }

// A page picture as wx holds it, with the last few stretched copies: the
// preview is painted again and again at the same size.
class WxDecodedImage : public DecodedImage {
 public:
  explicit WxDecodedImage(wxImage image) : image_(std::move(image)) {}

  // The part |src| stretched to |cx| x |cy|; empty when |src| misses the picture.
  wxImage Stretched(const Rect& src, int cx, int cy, bool filtered) const {
    for (const Entry& e : cache_) {
      if (e.src == src && e.cx == cx && e.cy == cy && e.filtered == filtered) return e.image;
    }
    wxRect part(src.x, src.y, src.cx, src.cy);
    part.Intersect(wxRect(0, 0, image_.GetWidth(), image_.GetHeight()));
    if (part.IsEmpty() || cx <= 0 || cy <= 0) return wxImage();
    const wxImage piece = part == wxRect(image_.GetSize()) ? image_ : image_.GetSubImage(part);
    wxImage scaled =
        piece.Scale(cx, cy, filtered ? wxIMAGE_QUALITY_HIGH : wxIMAGE_QUALITY_NEAREST);
    cache_.push_front(Entry{src, cx, cy, filtered, scaled});
    if (cache_.size() > kCached) cache_.pop_back();
    return scaled;
  }

 private:
  static constexpr std::size_t kCached = 3;
  struct Entry {
    Rect src;
    int cx;
    int cy;
    bool filtered;
    wxImage image;
  };
  wxImage image_;
  mutable std::deque<Entry> cache_;  // UI thread only
};

// A window that draws itself through |paint| (icon statics, picture frames).
class Canvas : public wxWindow {
 public:
  Canvas(wxWindow* parent, const wxPoint& pos, const wxSize& size)
      : wxWindow(parent, wxID_ANY, pos, size, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE) {
    SetThemeEnabled(true);  // GTK paints the window's own background under ours
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
      wxPaintDC dc(this);
      if (paint) paint(dc);
    });
  }
  bool AcceptsFocus() const override { return false; }

  std::function<void(wxDC&)> paint;
};

// The up-down control, drawn here: GTK's own spin button needs more than
// twice the room the templates give it and complains when squeezed.
class UpDownWindow : public wxWindow {
 public:
  UpDownWindow(wxWindow* parent, const wxPoint& pos, const wxSize& size)
      : wxWindow(parent, wxID_ANY, pos, size, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE),
        repeat_(this) {
    SetThemeEnabled(true);  // GTK paints the window's own background under ours
    Bind(wxEVT_PAINT, &UpDownWindow::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &UpDownWindow::OnDown, this);
    Bind(wxEVT_LEFT_DCLICK, &UpDownWindow::OnDown, this);
    Bind(wxEVT_LEFT_UP, [this](wxMouseEvent&) { Release(); });
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { Release(); });
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
      if (pressed_ == 0 || !IsEnabled()) return Release();
      repeat_.Start(50, wxTIMER_ONE_SHOT);
      Step(pressed_);
    });
  }
  ~UpDownWindow() override {
    repeat_.Stop();
    if (HasCapture()) ReleaseMouse();
  }
  bool AcceptsFocus() const override { return false; }

  // An arrow pressed and let go at once.
  void Press(int delta) {
    pressed_ = delta;
    Refresh();
    Step(delta);
    pressed_ = 0;
    Refresh();
  }

  std::function<void(int)> onSpin;

 private:
  void Step(int delta) {
    if (onSpin) onSpin(delta);
  }
  void OnDown(wxMouseEvent& e) {
    if (!IsEnabled()) return;
    pressed_ = e.GetY() < GetClientSize().y / 2 ? 1 : -1;
    if (!HasCapture()) CaptureMouse();
    Refresh();
    repeat_.Start(400, wxTIMER_ONE_SHOT);  // held down, it repeats
    Step(pressed_);
  }
  void Release() {
    repeat_.Stop();
    if (HasCapture()) ReleaseMouse();
    if (pressed_ != 0) {
      pressed_ = 0;
      Refresh();
    }
  }
  void OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxSize s = GetClientSize();
    const int half = s.y / 2;
    const wxRect halves[2] = {wxRect(0, 0, s.x, half), wxRect(0, half, s.x, s.y - half)};
    const wxColour ink = wxSystemSettings::GetColour(IsEnabled() ? wxSYS_COLOUR_BTNTEXT
                                                                 : wxSYS_COLOUR_GRAYTEXT);
    for (int i = 0; i < 2; ++i) {
      const wxRect& r = halves[i];
      int flags = IsEnabled() ? 0 : static_cast<int>(wxCONTROL_DISABLED);
      if (pressed_ == (i == 0 ? 1 : -1)) flags |= wxCONTROL_PRESSED;
      wxRendererNative::Get().DrawPushButton(this, dc, r, flags);
      const int w = std::max(2, std::min(r.width - 4, 2 * (r.height - 4)) / 2 * 2);
      const int h = w / 2;
      const int cx = r.x + r.width / 2;
      const int cy = r.y + r.height / 2;
      wxPoint tri[3];
      if (i == 0) {
        tri[0] = wxPoint(cx - w / 2, cy + h / 2);
        tri[1] = wxPoint(cx + w / 2, cy + h / 2);
        tri[2] = wxPoint(cx, cy - h / 2 - (h & 1));
      } else {
        tri[0] = wxPoint(cx - w / 2, cy - h / 2);
        tri[1] = wxPoint(cx + w / 2, cy - h / 2);
        tri[2] = wxPoint(cx, cy + h / 2 + (h & 1));
      }
      dc.SetPen(wxPen(ink));
      dc.SetBrush(wxBrush(ink));
      dc.DrawPolygon(3, tri);
    }
  }

  int pressed_ = 0;  // +1 up, -1 down
  wxTimer repeat_;
};

// A push button showing an icon (BS_ICON), drawn here: GTK's buttons keep a
// padding that leaves no room for the picture at the templates' sizes.
class IconButton : public wxWindow {
 public:
  IconButton(wxWindow* parent, const wxPoint& pos, const wxSize& size)
      : wxWindow(parent, wxID_ANY, pos, size, wxBORDER_NONE | wxWANTS_CHARS) {
    SetThemeEnabled(true);  // GTK paints the window's own background under ours
    Bind(wxEVT_PAINT, &IconButton::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &IconButton::OnDown, this);
    Bind(wxEVT_LEFT_DCLICK, &IconButton::OnDown, this);
    Bind(wxEVT_MOTION, [this](wxMouseEvent& e) {
      if (!pressed_) return;
      const bool inside = wxRect(GetClientSize()).Contains(e.GetPosition());
      if (inside != inside_) {
        inside_ = inside;
        Refresh();
      }
    });
    Bind(wxEVT_LEFT_UP, [this](wxMouseEvent&) {
      const bool click = pressed_ && inside_;
      Release();
      if (click) Click();
    });
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { Release(); });
    Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& e) {
      if (e.GetKeyCode() == WXK_SPACE) return Click();
      e.Skip();
    });
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& e) {
      Refresh();
      e.Skip();
    });
    Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) {
      Refresh();
      e.Skip();
    });
  }
  ~IconButton() override {
    if (HasCapture()) ReleaseMouse();
  }

  void SetIcon(const wxBitmap& bitmap) {
    bitmap_ = bitmap;
    Refresh();
  }
  bool HasIcon() const { return bitmap_.IsOk(); }
  void Click() {
    if (IsEnabled() && onClick) onClick();
  }

  std::function<void()> onClick;

 private:
  void OnDown(wxMouseEvent&) {
    if (!IsEnabled()) return;
    SetFocus();
    pressed_ = inside_ = true;
    if (!HasCapture()) CaptureMouse();
    Refresh();
  }
  void Release() {
    if (HasCapture()) ReleaseMouse();
    pressed_ = false;
    Refresh();
  }
  void OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxRect r(GetClientSize());
    int flags = 0;
    if (!IsEnabled()) flags |= wxCONTROL_DISABLED;
    if (pressed_ && inside_) flags |= wxCONTROL_PRESSED;
    if (HasFocus()) flags |= wxCONTROL_FOCUSED;
    wxRendererNative::Get().DrawPushButton(this, dc, r, flags);
    if (!bitmap_.IsOk()) return;
    const wxBitmap shown = IsEnabled() ? bitmap_ : bitmap_.ConvertToDisabled();
    const int dx = (pressed_ && inside_) ? 1 : 0;
    dc.DrawBitmap(shown, (r.width - shown.GetWidth()) / 2 + dx,
                  (r.height - shown.GetHeight()) / 2 + dx, true);
  }

  wxBitmap bitmap_;
  bool pressed_ = false;
  bool inside_ = false;
};

}  // namespace

struct WxBackend::Impl {
  // What was put into a list view, so that a sync touches only what changed.
  struct ListState {
    struct Row {
      std::vector<WString> texts;
      int image = -1;
    };
    std::vector<Row> rows;
    const CImageList* images = nullptr;
    int imageCount = -1;
    COLORREF imageBackground = CLR_NONE;
  };
  struct TreeEntry {
    HTREEITEM item;
    HTREEITEM parent;
    WString text;
    int image;
    int selectedImage;
    friend bool operator==(const TreeEntry&, const TreeEntry&) = default;
  };
  // The wx tree's items and the layer's handles, both ways.
  struct TreeState {
    std::vector<TreeEntry> entries;  // as last built, in pre-order
    std::map<HTREEITEM, wxTreeItemId> toWx;
    std::map<void*, HTREEITEM> fromWx;
    const CImageList* images = nullptr;
    int imageCount = -1;
    COLORREF imageBackground = CLR_NONE;
  };
  // One template entry's control.
  struct Slot {
    ControlKind kind = ControlKind::kStatic;
    wxWindow* win = nullptr;
    wxWindow* input = nullptr;  // takes the mouse and the focus (a list's rows)
    int group = -1;             // radio buttons: their group
    bool dirty = true;
    std::unique_ptr<ListState> list;
    std::unique_ptr<TreeState> tree;
  };
  // A radio group as the layer sees it. GTK always keeps one button of a
  // group on, so a hidden one stands for "none checked".
  struct RadioGroup {
    std::vector<std::size_t> members;
    wxRadioButton* none = nullptr;
  };
  struct SysEntry {
    int id = 0;
    WString text;
    UINT state = 0;
    bool separator = false;
    friend bool operator==(const SysEntry&, const SysEntry&) = default;
  };
  struct Window {
    CDialog* dialog = nullptr;
    std::uint64_t serial = 0;
    wxTopLevelWindow* top = nullptr;
    wxFrame* frame = nullptr;  // when it has a menu bar
    wxPanel* client = nullptr;
    BaseUnits units;
    FrameMetrics metrics;  // what the layer was told
    std::string face;
    std::vector<Slot> slots;  // in template order
    std::map<const Control*, std::size_t> indexOf;
    std::vector<RadioGroup> radioGroups;
    bool dirty = true;
    bool shown = false;
    bool iconic = false;
    bool measured = false;
    Rect placed{INT_MIN, INT_MIN, -1, -1};
    HICON bigIcon = -1;
    HICON smallIcon = -1;
    int appliedFocus = 0;
    // Menus: wx ids to the layer's commands, and the layer's menu behind each wx menu.
    bool menuDirty = false;
    bool menuStatesDirty = false;
    std::map<int, int> commands;
    std::map<int, int> sysCommands;
    std::map<const wxMenu*, const CMenu*> menus;
    std::vector<SysEntry> sysExtras;
    int nextMenuId = wxID_HIGHEST + 1;
  };

  bool started = false;
  std::map<const CDialog*, Window> windows;
  std::uint64_t nextSerial = 1;
  DialogHandler onShown;
  std::chrono::milliseconds modalTimeout{30000};
  // Set while we change a wx control ourselves, so that its events are not
  // taken for the user's input.
  int updating = 0;
  bool flushScheduled = false;
  std::map<int, BaseUnits> unitsByPoints;
  FrameMetrics decoration;  // learnt from the first window shown; none under Xvfb
  int menuBarHeight = 0;    // likewise, 0 until known
  std::map<std::pair<HICON, int>, wxBitmap> iconCache;

  Window* Find(const CDialog* dialog) {
    auto it = windows.find(dialog);
    return it == windows.end() ? nullptr : &it->second;
  }
  // The window of |dialog| if it is still the one |serial| was given to.
  Window* Live(const CDialog* dialog, std::uint64_t serial) {
    Window* w = Find(dialog);
    return w && w->serial == serial ? w : nullptr;
  }
  Control* ControlAt(Window& w, std::size_t index) {
    const auto& controls = w.dialog->Controls();
    return index < controls.size() ? controls[index].get() : nullptr;
  }

  const wxBitmap& IconBitmap(HICON icon, int size) {
    auto it = iconCache.find({icon, size});
    if (it == iconCache.end()) {
      it = iconCache.emplace(std::make_pair(icon, size), wxBitmap(IconArt(icon, size))).first;
    }
    return it->second;
  }
  int EstimatedMenuBarHeight() {
    if (menuBarHeight > 0) return menuBarHeight;
    // GTK's menu bar: a line of the GUI font with its item padding.
    wxScreenDC dc;
    dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    return dc.GetCharHeight() + 8;
  }

  void DispatchFor(std::chrono::milliseconds time);
  void ScheduleFlush();
  void FlushAll();
  void FlushWindow(Window& w);
  void LearnFrame(Window& w);

  void MakeControls(Window& w, const DialogTemplate& t);
  wxWindow* MakeControl(Window& w, std::size_t index, const ControlTemplate& t, const Rect& px);
  void BindControl(Window& w, std::size_t index, const ControlTemplate& t);
  void Apply(Window& w, std::size_t index);
  void ApplyRadioGroup(Window& w, int group);
  void SyncSlot(Window& w, std::size_t index);
  void SyncList(Window& w, Slot& slot, CListCtrl& list);
  void SyncTree(Window& w, Slot& slot, CTreeCtrl& tree);
  void SyncCombo(CComboBox& combo, wxChoice* choice);
  void FlushSlot(Window& w, std::size_t index) {
    if (index < w.slots.size() && w.slots[index].dirty) SyncSlot(w, index);
  }
  void PushFocus(Window& w);

  std::vector<SysEntry> SysExtras(CDialog& dialog);
  wxMenu* BuildMenu(Window& w, const CMenu& menu);
  wxMenu* BuildExtras(const std::vector<SysEntry>& extras, std::map<int, int>& ids, int& nextId);
  void RebuildMenuBar(Window& w);
  void SyncMenuStates(Window& w, const wxMenu* menu);
  void ShowExtrasMenu(Window& w, const wxPoint& at);

  void PaintSurface(wxDC& dc, const Surface& surface, const wxPoint& offset);
  wxWindow* OwnerWindow(HWND owner);
};

namespace {
WxBackend::Impl* g_impl = nullptr;  // UI thread only
}  // namespace

void WxBackend::Impl::DispatchFor(std::chrono::milliseconds time) {
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
    FlushAll();
    active->DispatchTimeout(10);
    active->ProcessIdle();
  } while (std::chrono::steady_clock::now() < end);
}

void WxBackend::Impl::ScheduleFlush() {
  if (flushScheduled || !wxTheApp) return;
  flushScheduled = true;
  wxTheApp->CallAfter([] {
    if (!g_impl) return;
    g_impl->flushScheduled = false;
    g_impl->FlushAll();
  });
}

void WxBackend::Impl::FlushAll() {
  // A sync never reaches back into the layer's windows, but a snapshot keeps
  // the walk safe all the same.
  std::vector<std::pair<const CDialog*, std::uint64_t>> live;
  for (const auto& [dialog, w] : windows) live.emplace_back(dialog, w.serial);
  for (const auto& [dialog, serial] : live) {
    if (Window* w = Live(dialog, serial)) FlushWindow(*w);
  }
}

void WxBackend::Impl::FlushWindow(Window& w) {
  CDialog& d = *w.dialog;
  ++updating;
  if (w.dirty) {
    w.dirty = false;
    const wxString title = ToWx(d.GetWindowText());
    if (w.top->GetTitle() != title) w.top->SetTitle(title);
    if (w.top->IsEnabled() != d.IsWindowEnabled()) w.top->Enable(d.IsWindowEnabled());
    // GTK cannot gray the close box; it can take it away while Close is grayed.
    w.top->EnableCloseButton(d.IsCloseCommandEnabled());

    const HICON big = d.GetIcon(TRUE);
    const HICON small = d.GetIcon(FALSE);
    if (big != w.bigIcon || small != w.smallIcon) {
      w.bigIcon = big;
      w.smallIcon = small;
      wxIconBundle icons;
      for (const auto& [icon, size] : {std::pair{big, 32}, std::pair{small, 16}}) {
        if (!icon) continue;
        wxIcon i;
        i.CopyFromBitmap(IconBitmap(icon, size));
        icons.AddIcon(i);
      }
      w.top->SetIcons(icons);
    }

    std::vector<SysEntry> extras = SysExtras(d);
    if (extras != w.sysExtras) {
      w.sysExtras = std::move(extras);
      if (w.frame) w.menuDirty = true;
    }

    if (!d.IsIconic()) {
      const Rect r = d.GetWindowRect();
      if (r != w.placed) {
        w.placed = r;
        const FrameMetrics& m = w.metrics;
        w.top->Move(r.x, r.y);
        w.top->SetClientSize(std::max(1, r.cx - m.left - m.right),
                             std::max(1, r.cy - m.top - m.bottom));
      }
    }

    const bool visible = d.IsWindowVisible();
    if (visible && !w.shown) {
      w.shown = true;
      w.iconic = d.IsIconic();
      if (w.iconic) w.top->Iconize(true);
      w.top->Show();
      if (!w.iconic) w.top->Raise();
    } else if (!visible && w.shown) {
      w.shown = false;
      w.top->Hide();
    }
    if (w.shown && d.IsIconic() != w.iconic) {
      w.iconic = d.IsIconic();
      w.top->Iconize(w.iconic);
      if (!w.iconic) w.top->Raise();
    }
  }
  if (w.menuDirty) {
    w.menuDirty = false;
    w.menuStatesDirty = false;
    RebuildMenuBar(w);
  }
  if (w.menuStatesDirty) {
    w.menuStatesDirty = false;
    if (wxMenuBar* bar = w.frame ? w.frame->GetMenuBar() : nullptr) {
      for (std::size_t i = 0; i < bar->GetMenuCount(); ++i) SyncMenuStates(w, bar->GetMenu(i));
    }
  }
  --updating;
  for (std::size_t i = 0; i < w.slots.size(); ++i) FlushSlot(w, i);
  PushFocus(w);
  if (w.shown && !w.measured && w.top->IsShownOnScreen()) LearnFrame(w);
}

// What the window manager and the menu bar add around a client area, as this
// desktop shows them; later windows are told.
void WxBackend::Impl::LearnFrame(Window& w) {
  w.measured = true;
  int bar = 0;
  if (w.frame && w.frame->GetMenuBar()) {
    bar = w.frame->GetMenuBar()->GetSize().y;
    if (bar > 0) menuBarHeight = bar;
  }
  const wxPoint outer = w.top->GetPosition();
  const wxSize outerSize = w.top->GetSize();
  const wxPoint inner = w.client->GetScreenPosition();
  const wxSize innerSize = w.client->GetSize();
  FrameMetrics f;
  f.left = inner.x - outer.x;
  f.top = inner.y - outer.y - bar;
  f.right = outerSize.x - innerSize.x - f.left;
  f.bottom = outerSize.y - innerSize.y - bar - f.top;
  const auto sane = [](int v) { return v >= 0 && v < 100; };
  if (sane(f.left) && sane(f.top) && sane(f.right) && sane(f.bottom)) decoration = f;
}

void WxBackend::Impl::PushFocus(Window& w) {
  const int id = w.dialog->GetFocusId();
  if (id == w.appliedFocus) return;
  w.appliedFocus = id;
  Control* c = w.dialog->GetDlgItem(id);
  auto it = c ? w.indexOf.find(c) : w.indexOf.end();
  if (it == w.indexOf.end()) return;
  wxWindow* target = w.slots[it->second].input;
  if (target && target->IsShown() && target->IsEnabled() && wxWindow::FindFocus() != target) {
    target->SetFocus();
  }
}

// ---- controls ----------------------------------------------------------------

wxWindow* WxBackend::Impl::MakeControl(Window& w, std::size_t index, const ControlTemplate& t,
                                       const Rect& px) {
  wxPanel* parent = w.client;
  const wxPoint pos(px.x, px.y);
  const wxSize size(std::max(px.cx, 0), std::max(px.cy, 0));
  const wxString text = ToWx(t.text ? WStringView(t.text) : WStringView());
  const DWORD s = t.style;
  const long border = (s & WS_BORDER) ? wxBORDER_SIMPLE : wxBORDER_NONE;
  Slot& slot = w.slots[index];
  switch (t.kind) {
    case ControlKind::kStatic: {
      long style = (s & 0x3u) == SS_CENTER ? wxALIGN_CENTRE_HORIZONTAL : wxALIGN_LEFT;
      if (s & SS_ENDELLIPSIS) style |= wxST_ELLIPSIZE_END;
      return new wxStaticText(parent, wxID_ANY, wxString(), pos, size, style | wxST_NO_AUTORESIZE);
    }
    case ControlKind::kIcon:
    case ControlKind::kPicture: {
      auto* canvas = new Canvas(parent, pos, size);
      CDialog* d = w.dialog;
      const std::uint64_t serial = w.serial;
      const bool bordered = (s & WS_BORDER) != 0;
      const bool blackFrame = t.kind == ControlKind::kPicture && (s & SS_TYPEMASK) == SS_BLACKFRAME;
      canvas->paint = [this, d, serial, index, canvas, bordered, blackFrame](wxDC& dc) {
        Window* win = Live(d, serial);
        Control* c = win ? ControlAt(*win, index) : nullptr;
        if (!c) return;
        const wxSize sz = canvas->GetClientSize();
        const int inset = bordered ? 1 : 0;
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.SetPen(*wxBLACK_PEN);
        if (bordered) dc.DrawRectangle(0, 0, sz.x, sz.y);
        if (blackFrame) dc.DrawRectangle(inset, inset, sz.x - 2 * inset, sz.y - 2 * inset);
        if (c->Kind() == ControlKind::kIcon && c->GetIcon()) {
          const int iconSize = NaturalSize(c->GetIcon());
          dc.DrawBitmap(IconBitmap(c->GetIcon(), iconSize), inset, inset, true);
        }
        dc.SetClippingRegion(inset, inset, sz.x - 2 * inset, sz.y - 2 * inset);
        PaintSurface(dc, c->GetSurface(), wxPoint(inset, inset));
        dc.DestroyClippingRegion();
      };
      return canvas;
    }
    case ControlKind::kButton: {
      if (s & BS_ICON) return new IconButton(parent, pos, size);
      auto* button = new wxButton(parent, wxID_ANY, text, pos, size);
      if ((s & BS_TYPEMASK) == BS_DEFPUSHBUTTON) button->SetDefault();
      return button;
    }
    case ControlKind::kCheckBox:
      return new wxCheckBox(parent, wxID_ANY, text, pos, size);
    case ControlKind::kRadio: {
      // The first radio button of a layer group starts a GTK group, and the
      // hidden "none" button joins it at once; the group's other buttons follow.
      RadioGroup& group = w.radioGroups[static_cast<std::size_t>(slot.group)];
      const bool first = group.members.empty();
      group.members.push_back(index);
      auto* radio = new wxRadioButton(parent, wxID_ANY, text, pos, size, first ? wxRB_GROUP : 0);
      if (first) {
        group.none = new wxRadioButton(parent, wxID_ANY, wxString(), pos, wxSize(0, 0));
        group.none->Hide();
        group.none->SetValue(true);
      }
      return radio;
    }
    case ControlKind::kGroupBox:
      return new wxStaticBox(parent, wxID_ANY, text, pos, size);
    case ControlKind::kEdit: {
      long style = 0;
      if (s & ES_PASSWORD) style |= wxTE_PASSWORD;
      if (s & ES_READONLY) style |= wxTE_READONLY;
      if (!(s & WS_BORDER)) style |= wxBORDER_NONE;
      return new wxTextCtrl(parent, wxID_ANY, text, pos, size, style);
    }
    case ControlKind::kProgress:
      return new wxGauge(parent, wxID_ANY, 100, pos, size,
                         wxGA_HORIZONTAL | ((s & PBS_SMOOTH) ? wxGA_SMOOTH : 0));
    case ControlKind::kUpDown:
      return new UpDownWindow(parent, pos, size);
    case ControlKind::kListView: {
      long style = wxLC_REPORT | border;
      if (s & LVS_SINGLESEL) style |= wxLC_SINGLE_SEL;
      slot.list = std::make_unique<ListState>();
      return new wxListCtrl(parent, wxID_ANY, pos, size, style);
    }
    case ControlKind::kTreeView: {
      // The layer's trees have any number of top items: wx's root stays hidden.
      long style = wxTR_HIDE_ROOT | wxTR_SINGLE | border;
      style |= (s & TVS_HASBUTTONS) ? wxTR_HAS_BUTTONS : wxTR_NO_BUTTONS;
      if (!(s & TVS_HASLINES)) style |= wxTR_NO_LINES;
      if (s & TVS_LINESATROOT) style |= wxTR_LINES_AT_ROOT;
      slot.tree = std::make_unique<TreeState>();
      auto* tree = new wxTreeCtrl(parent, wxID_ANY, pos, size, style);
      tree->AddRoot(wxString());
      return tree;
    }
    case ControlKind::kComboBox:
      // As tall as the theme makes it; MakeControls sets the height.
      return new wxChoice(parent, wxID_ANY, pos, wxSize(size.x, -1));
  }
  return new wxPanel(parent, wxID_ANY, pos, size);
}

void WxBackend::Impl::MakeControls(Window& w, const DialogTemplate& t) {
  const auto& controls = w.dialog->Controls();
  const std::size_t count = std::min(controls.size(), t.controls.size());
  w.slots.resize(count);
  // The layer's radio groups: each control with WS_GROUP starts the next.
  int groupNo = -1;
  std::map<int, int> radioGroupOf;
  for (std::size_t i = 0; i < count; ++i) {
    const ControlTemplate& ct = t.controls[i];
    if (i == 0 || (ct.style & WS_GROUP)) ++groupNo;
    w.slots[i].kind = ct.kind;
    if (ct.kind != ControlKind::kRadio) continue;
    auto [it, added] = radioGroupOf.emplace(groupNo, static_cast<int>(w.radioGroups.size()));
    if (added) w.radioGroups.emplace_back();
    w.slots[i].group = it->second;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const ControlTemplate& ct = t.controls[i];
    Control& c = *controls[i];
    // Where the layer put it: its pixel rectangle (an up-down aligned on its
    // buddy and the narrowed buddy included).
    Rect px = c.GetPixelRect();
    wxWindow* win = MakeControl(w, i, ct, px);
    if (ct.kind == ControlKind::kComboBox) {
      // The template's height includes the dropped-down list; closed, the box
      // is as tall as the theme needs.
      px.cy = std::min(px.cy, win->GetBestSize().y);
    }
    win->SetSize(px.x, px.y, px.cx, px.cy);
    Slot& slot = w.slots[i];
    slot.win = win;
    slot.input = win;
    if (auto* list = dynamic_cast<wxListCtrl*>(win)) {
      // The generic list takes the mouse and the focus in its row window.
      for (wxWindow* child : list->GetChildren()) {
        if (static_cast<void*>(child) == static_cast<void*>(list->m_mainWin)) slot.input = child;
      }
    }
    if (!c.IsVisible()) win->Hide();
    if (!c.IsEnabled()) win->Disable();
    w.indexOf[&c] = i;
    BindControl(w, i, ct);
  }
}

void WxBackend::Impl::BindControl(Window& w, std::size_t index, const ControlTemplate& t) {
  const int id = t.id;
  CDialog* d = w.dialog;
  const std::uint64_t serial = w.serial;
  Slot& slot = w.slots[index];
  wxWindow* win = slot.win;
  // The layer learns where the focus went, so that edits tell their parent.
  if (id != IDC_STATIC) {
    slot.input->Bind(wxEVT_SET_FOCUS, [this, d, serial, id](wxFocusEvent& e) {
      e.Skip();
      Window* w = Live(d, serial);
      if (!w) return;
      w->appliedFocus = id;
      d->SetFocusId(id);
      ScheduleFlush();
    });
  }
  // After any input the layer has the last word on what the control shows.
  const auto after = [this, d, serial, index] {
    if (Window* w = Live(d, serial)) {
      w->slots[index].dirty = true;
      ScheduleFlush();
    }
  };
  switch (t.kind) {
    case ControlKind::kButton:
      if (auto* icon = dynamic_cast<IconButton*>(win)) {
        icon->onClick = [this, d, serial, id] {
          if (Live(d, serial)) d->InputClick(id);
          ScheduleFlush();
        };
      } else {
        win->Bind(wxEVT_BUTTON, [this, d, serial, id](wxCommandEvent&) {
          if (Live(d, serial)) d->InputClick(id);
          ScheduleFlush();
        });
      }
      break;
    case ControlKind::kCheckBox:
      win->Bind(wxEVT_CHECKBOX, [this, d, serial, id, after](wxCommandEvent&) {
        if (updating || !Live(d, serial)) return;
        d->InputClick(id);  // the layer toggles and tells us the new state
        after();
      });
      break;
    case ControlKind::kRadio: {
      const int group = slot.group;
      win->Bind(wxEVT_RADIOBUTTON, [this, d, serial, id, group](wxCommandEvent&) {
        if (updating || !Live(d, serial)) return;
        d->InputClick(id);
        if (Window* w = Live(d, serial)) {
          // GTK switched the buttons itself; the layer's checks are the ones shown.
          ApplyRadioGroup(*w, group);
        }
      });
      break;
    }
    case ControlKind::kEdit: {
      auto* edit = static_cast<wxTextCtrl*>(win);
      // Digits-only edits refuse other printable keys, as the other system's do.
      edit->Bind(wxEVT_CHAR, [this, d, serial, index](wxKeyEvent& e) {
        Window* w = Live(d, serial);
        Control* c = w ? ControlAt(*w, index) : nullptr;
        const int key = e.GetUnicodeKey();
        if (c && c->IsDigitsOnly() && key >= 32 && key != WXK_NONE && !(key >= '0' && key <= '9')) {
          return;
        }
        e.Skip();
      });
      edit->Bind(wxEVT_TEXT, [this, d, serial, index, edit](wxCommandEvent&) {
        if (updating) return;
        Window* w = Live(d, serial);
        Control* c = w ? ControlAt(*w, index) : nullptr;
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
    case ControlKind::kUpDown:
      static_cast<UpDownWindow*>(win)->onSpin = [this, d, serial, index](int delta) {
        Window* w = Live(d, serial);
        if (auto* spin = dynamic_cast<CSpinButtonCtrl*>(w ? ControlAt(*w, index) : nullptr)) {
          spin->InputSpin(delta);
        }
        ScheduleFlush();
      };
      break;
    case ControlKind::kComboBox:
      win->Bind(wxEVT_CHOICE, [this, d, serial, index, after](wxCommandEvent& e) {
        if (updating) return;
        Window* w = Live(d, serial);
        if (auto* combo = dynamic_cast<CComboBox*>(w ? ControlAt(*w, index) : nullptr)) {
          combo->InputSelect(e.GetSelection());
        }
        after();
      });
      break;
    case ControlKind::kListView: {
      auto* list = static_cast<wxListCtrl*>(win);
      wxWindow* rows = slot.input;
      // Clicks go to the layer, which selects and tells its parent; the wx
      // list then shows what the layer holds.
      const auto click = [this, d, serial, index, list, rows, after](wxMouseEvent& e, bool right) {
        Window* w = Live(d, serial);
        auto* lv = dynamic_cast<CListCtrl*>(w ? ControlAt(*w, index) : nullptr);
        if (!lv) return;
        FlushSlot(*w, index);
        int flags = 0;
        long row = list->HitTest(e.GetPosition(), flags);
        if (!(flags & wxLIST_HITTEST_ONITEM)) row = -1;
        rows->SetFocus();
        const wxPoint screen = rows->ClientToScreen(e.GetPosition());
        const Point at{screen.x, screen.y};
        lv->InputClick(static_cast<int>(row), right, &at);
        after();
      };
      rows->Bind(wxEVT_LEFT_DOWN, [click](wxMouseEvent& e) { click(e, false); });
      rows->Bind(wxEVT_RIGHT_DOWN, [click](wxMouseEvent& e) { click(e, true); });
      rows->Bind(wxEVT_LEFT_DCLICK, [](wxMouseEvent&) {});
      rows->Bind(wxEVT_RIGHT_DCLICK, [](wxMouseEvent&) {});
      // The keyboard moves the wx selection first; the layer hears of it as
      // a click on the row that got it.
      list->Bind(wxEVT_LIST_ITEM_SELECTED, [this, d, serial, index, after](wxListEvent& e) {
        if (updating) return;
        Window* w = Live(d, serial);
        if (auto* lv = dynamic_cast<CListCtrl*>(w ? ControlAt(*w, index) : nullptr)) {
          lv->InputClick(static_cast<int>(e.GetIndex()), false, nullptr);
        }
        after();
      });
      break;
    }
    case ControlKind::kTreeView: {
      auto* tree = static_cast<wxTreeCtrl*>(win);
      tree->Bind(wxEVT_LEFT_DOWN, [this, d, serial, index, tree, after](wxMouseEvent& e) {
        Window* w = Live(d, serial);
        auto* tv = dynamic_cast<CTreeCtrl*>(w ? ControlAt(*w, index) : nullptr);
        if (!tv) return;
        FlushSlot(*w, index);
        tree->SetFocus();
        tv->InputClick(Point{e.GetX(), e.GetY()});
        after();
      });
      tree->Bind(wxEVT_LEFT_DCLICK, [](wxMouseEvent&) {});
      tree->Bind(wxEVT_RIGHT_DOWN, [](wxMouseEvent&) {});
      // The layer opens and closes items; the user has no way to yet.
      const auto veto = [this](wxTreeEvent& e) {
        if (!updating) e.Veto();
      };
      tree->Bind(wxEVT_TREE_ITEM_EXPANDING, veto);
      tree->Bind(wxEVT_TREE_ITEM_COLLAPSING, veto);
      // The keyboard moves the wx selection; the layer's tree follows it
      // without a click.
      tree->Bind(wxEVT_TREE_SEL_CHANGED, [this, d, serial, index, after](wxTreeEvent& e) {
        if (updating) return;
        Window* w = Live(d, serial);
        auto* tv = dynamic_cast<CTreeCtrl*>(w ? ControlAt(*w, index) : nullptr);
        if (!tv || !e.GetItem().IsOk()) return;
        const TreeState* state = w->slots[index].tree.get();
        if (!state) return;
        auto found = state->fromWx.find(e.GetItem().GetID());
        if (found != state->fromWx.end()) tv->InputSelect(found->second);
        after();
      });
      break;
    }
    default:
      break;
  }
}

void WxBackend::Impl::ApplyRadioGroup(Window& w, int group) {
  if (group < 0 || static_cast<std::size_t>(group) >= w.radioGroups.size()) return;
  RadioGroup& g = w.radioGroups[static_cast<std::size_t>(group)];
  ++updating;
  wxRadioButton* on = g.none;
  for (std::size_t index : g.members) {
    Control* c = ControlAt(w, index);
    auto* radio = static_cast<wxRadioButton*>(w.slots[index].win);
    if (!c) continue;
    w.slots[index].dirty = false;
    radio->Show(c->IsVisible());
    radio->Enable(c->IsEnabled());
    const wxString label = ToWx(c->GetText());
    if (radio->GetLabel() != label) radio->SetLabel(label);
    if (on == g.none && c->GetCheck() == BST_CHECKED) on = radio;
  }
  if (on && !on->GetValue()) on->SetValue(true);
  --updating;
}

void WxBackend::Impl::Apply(Window& w, std::size_t index) {
  Control* control = ControlAt(w, index);
  Slot& slot = w.slots[index];
  if (!control || !slot.win) return;
  Control& c = *control;
  wxWindow* win = slot.win;
  ++updating;
  if (win->IsShown() != c.IsVisible()) win->Show(c.IsVisible());
  if (win->IsEnabled() != c.IsEnabled()) win->Enable(c.IsEnabled());
  switch (c.Kind()) {
    case ControlKind::kStatic:
      if (c.GetStyle() & SS_NOPREFIX) {
        static_cast<wxStaticText*>(win)->SetLabelText(ToWx(c.GetText()));
      } else {
        win->SetLabel(ToWx(c.GetText()));
      }
      break;
    case ControlKind::kButton:
      if (auto* icon = dynamic_cast<IconButton*>(win)) {
        icon->SetIcon(c.GetIcon() ? IconBitmap(c.GetIcon(), NaturalSize(c.GetIcon())) : wxBitmap());
      } else {
        auto* button = static_cast<wxButton*>(win);
        button->SetLabel(ToWx(c.GetText()));
        if (c.IsDefaultButton()) button->SetDefault();
      }
      break;
    case ControlKind::kCheckBox:
      win->SetLabel(ToWx(c.GetText()));
      static_cast<wxCheckBox*>(win)->SetValue(c.GetCheck() == BST_CHECKED);
      break;
    case ControlKind::kGroupBox:
      win->SetLabel(ToWx(c.GetText()));
      break;
    case ControlKind::kEdit: {
      auto* edit = static_cast<wxTextCtrl*>(win);
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
      auto* gauge = static_cast<wxGauge*>(win);
      const int range = std::max(1, upper > lower ? upper - lower : lower - upper);
      gauge->SetRange(range);
      const int done = upper > lower ? c.GetPos() - lower : lower - c.GetPos();
      gauge->SetValue(std::clamp(done, 0, range));
      break;
    }
    case ControlKind::kIcon:
    case ControlKind::kPicture:
    case ControlKind::kUpDown:
      win->Refresh();
      break;
    default:
      break;
  }
  --updating;
}

void WxBackend::Impl::SyncSlot(Window& w, std::size_t index) {
  Slot& slot = w.slots[index];
  slot.dirty = false;
  Control* c = ControlAt(w, index);
  if (!c || !slot.win) return;
  switch (slot.kind) {
    case ControlKind::kRadio:
      ApplyRadioGroup(w, slot.group);
      return;
    case ControlKind::kListView:
      if (auto* list = dynamic_cast<CListCtrl*>(c)) SyncList(w, slot, *list);
      break;
    case ControlKind::kTreeView:
      if (auto* tree = dynamic_cast<CTreeCtrl*>(c)) SyncTree(w, slot, *tree);
      break;
    case ControlKind::kComboBox:
      if (auto* combo = dynamic_cast<CComboBox*>(c)) {
        SyncCombo(*combo, static_cast<wxChoice*>(slot.win));
      }
      break;
    default:
      break;
  }
  Apply(w, index);
}

namespace {
// A wx image list made from the layer's; null for none or an empty one.
wxImageList* MakeImageList(const CImageList* images) {
  if (!images || !images->IsCreated() || images->GetImageCount() == 0) return nullptr;
  const Size size = images->GetIconSize();
  auto* list = new wxImageList(size.cx, size.cy, false, images->GetImageCount());
  for (int i = 0; i < images->GetImageCount(); ++i) {
    wxImage art = IconArt(images->GetIcon(i), size.cx, images->GetBkColor());
    if (size.cy != size.cx) art.Resize(wxSize(size.cx, size.cy), wxPoint(0, 0));
    list->Add(wxBitmap(art));
  }
  return list;
}
}  // namespace

void WxBackend::Impl::SyncList(Window& /*w*/, Slot& slot, CListCtrl& lv) {
  auto* list = static_cast<wxListCtrl*>(slot.win);
  ListState& state = *slot.list;
  ++updating;
  list->Freeze();

  const CImageList* images = lv.GetImageList(LVSIL_SMALL);
  const int imageCount = images ? images->GetImageCount() : 0;
  const COLORREF background = images ? images->GetBkColor() : CLR_NONE;
  if (images != state.images || imageCount != state.imageCount ||
      background != state.imageBackground) {
    state.images = images;
    state.imageCount = imageCount;
    state.imageBackground = background;
    list->AssignImageList(MakeImageList(images), wxIMAGE_LIST_SMALL);
  }

  // Columns: a different number of them starts the list afresh.
  const int columns = lv.GetColumnCount();
  if (list->GetColumnCount() != columns) {
    list->DeleteAllItems();
    list->DeleteAllColumns();
    state.rows.clear();
    for (int i = 0; i < columns; ++i) {
      const int width = lv.GetColumnWidth(i);
      list->InsertColumn(i, ToWx(lv.GetColumnHeading(i)), wxLIST_FORMAT_LEFT,
                         width >= 0 ? width : wxLIST_AUTOSIZE_USEHEADER);
    }
  } else {
    for (int i = 0; i < columns; ++i) {
      wxListItem item;
      item.SetMask(wxLIST_MASK_TEXT);
      list->GetColumn(i, item);
      const wxString heading = ToWx(lv.GetColumnHeading(i));
      if (item.GetText() != heading) {
        item.SetText(heading);
        list->SetColumn(i, item);
      }
      const int width = lv.GetColumnWidth(i);
      if (width >= 0 && list->GetColumnWidth(i) != width) list->SetColumnWidth(i, width);
    }
  }

  // Rows by position: only what differs from what was put there before.
  const int count = lv.GetItemCount();
  const int texts = std::max(columns, 1);
  while (list->GetItemCount() > count) {
    list->DeleteItem(list->GetItemCount() - 1);
    state.rows.pop_back();
  }
  while (list->GetItemCount() < count) {
    list->InsertItem(list->GetItemCount(), wxString());
    state.rows.push_back(ListState::Row{std::vector<WString>(texts), -1});
  }
  for (int row = 0; row < count; ++row) {
    ListState::Row& shadow = state.rows[static_cast<std::size_t>(row)];
    shadow.texts.resize(texts);
    for (int col = 0; col < texts; ++col) {
      WString text = lv.GetItemText(row, col);
      if (text != shadow.texts[static_cast<std::size_t>(col)]) {
        list->SetItem(row, col, ToWx(text));
        shadow.texts[static_cast<std::size_t>(col)] = std::move(text);
      }
    }
    const int image = lv.GetItemImage(row);
    if (image != shadow.image) {
      list->SetItemImage(row, image);
      shadow.image = image;
    }
    // The states as wx has them now: the user may have moved them.
    const UINT want = lv.GetItemState(row, LVIS_SELECTED | LVIS_FOCUSED);
    const long have = list->GetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    const bool selected = (want & LVIS_SELECTED) != 0;
    const bool focused = (want & LVIS_FOCUSED) != 0;
    if (selected != ((have & wxLIST_STATE_SELECTED) != 0)) {
      list->SetItemState(row, selected ? wxLIST_STATE_SELECTED : 0, wxLIST_STATE_SELECTED);
    }
    if (focused && !(have & wxLIST_STATE_FOCUSED)) {
      list->SetItemState(row, wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
    }
  }
  list->Thaw();
  --updating;
}

void WxBackend::Impl::SyncTree(Window& /*w*/, Slot& slot, CTreeCtrl& tv) {
  auto* tree = static_cast<wxTreeCtrl*>(slot.win);
  TreeState& state = *slot.tree;
  // Everything the layer holds, in pre-order.
  std::vector<TreeEntry> entries;
  std::function<void(HTREEITEM, HTREEITEM)> walk = [&](HTREEITEM first, HTREEITEM parent) {
    for (HTREEITEM item = first; item; item = tv.GetNextSiblingItem(item)) {
      int image = -1;
      int selected = -1;
      tv.GetItemImage(item, image, selected);
      entries.push_back(TreeEntry{item, parent, tv.GetItemText(item), image, selected});
      walk(tv.GetChildItem(item), item);
    }
  };
  walk(tv.GetRootItem(), nullptr);

  const CImageList* images = tv.GetImageList(TVSIL_NORMAL);
  const int imageCount = images ? images->GetImageCount() : 0;
  const COLORREF background = images ? images->GetBkColor() : CLR_NONE;
  ++updating;
  const bool imagesChanged = images != state.images || imageCount != state.imageCount ||
                             background != state.imageBackground;
  if (imagesChanged) {
    state.images = images;
    state.imageCount = imageCount;
    state.imageBackground = background;
    tree->AssignImageList(MakeImageList(images));
  }
  if (imagesChanged || entries != state.entries) {
    tree->Freeze();
    tree->DeleteAllItems();
    state.toWx.clear();
    state.fromWx.clear();
    const wxTreeItemId root = tree->AddRoot(wxString());
    const bool withImages = imageCount > 0;
    for (const TreeEntry& e : entries) {
      const wxTreeItemId parent = e.parent ? state.toWx[e.parent] : root;
      const wxTreeItemId id =
          tree->AppendItem(parent, ToWx(e.text), withImages ? e.image : -1,
                           withImages ? e.selectedImage : -1);
      state.toWx[e.item] = id;
      state.fromWx[id.GetID()] = e.item;
    }
    state.entries = std::move(entries);
    tree->Thaw();
  }
  // Open items, children first so that a parent opens onto open children.
  for (auto it = state.entries.rbegin(); it != state.entries.rend(); ++it) {
    const wxTreeItemId id = state.toWx[it->item];
    const bool open = tv.IsExpanded(it->item);
    if (!tree->ItemHasChildren(id) || tree->IsExpanded(id) == open) continue;
    if (open) {
      tree->Expand(id);
    } else {
      tree->Collapse(id);
    }
  }
  const HTREEITEM selected = tv.GetSelectedItem();
  auto found = selected ? state.toWx.find(selected) : state.toWx.end();
  if (found != state.toWx.end()) {
    if (tree->GetSelection() != found->second) tree->SelectItem(found->second);
  } else if (tree->GetSelection().IsOk()) {
    tree->UnselectAll();
  }
  --updating;
}

void WxBackend::Impl::SyncCombo(CComboBox& combo, wxChoice* choice) {
  ++updating;
  wxArrayString items;
  for (int i = 0; i < combo.GetCount(); ++i) items.Add(ToWx(combo.GetLBText(i)));
  if (choice->GetStrings() != items) choice->Set(items);
  const int selection = combo.GetCurSel();
  if (choice->GetSelection() != selection) {
    choice->SetSelection(selection >= 0 ? selection : wxNOT_FOUND);
  }
  --updating;
}

// ---- menus -------------------------------------------------------------------

// What the dialog appended to its system menu; GTK's window menu belongs to
// the window manager and cannot show it.
std::vector<WxBackend::Impl::SysEntry> WxBackend::Impl::SysExtras(CDialog& dialog) {
  std::vector<SysEntry> extras;
  const CMenu* menu = dialog.GetSystemMenu(FALSE);
  if (!menu) return extras;
  for (const CMenu::Item& item : menu->Items()) {
    if (item.separator) {
      if (!extras.empty() && !extras.back().separator) extras.push_back(SysEntry{0, {}, 0, true});
      continue;
    }
    if (item.popup || IsDefaultSysCommand(item.id)) continue;
    extras.push_back(SysEntry{item.id, item.text, item.state, false});
  }
  while (!extras.empty() && extras.back().separator) extras.pop_back();
  return extras;
}

wxMenu* WxBackend::Impl::BuildMenu(Window& w, const CMenu& menu) {
  auto* m = new wxMenu;
  w.menus[m] = &menu;
  // A menu with a checked item gets checkable items throughout, so that the
  // check can move between them later.
  const bool checkable = std::any_of(menu.Items().begin(), menu.Items().end(), [](const auto& i) {
    return !i.popup && !i.separator && (i.state & MF_CHECKED);
  });
  for (const CMenu::Item& item : menu.Items()) {
    if (item.separator) {
      m->AppendSeparator();
    } else if (item.popup) {
      wxMenuItem* sub = m->AppendSubMenu(BuildMenu(w, *item.popup), ToWx(item.text));
      sub->Enable(!Grayed(item.state));
    } else {
      const int wxId = w.nextMenuId++;
      w.commands[wxId] = item.id;
      wxMenuItem* mi =
          m->Append(wxId, ToWx(item.text), wxString(), checkable ? wxITEM_CHECK : wxITEM_NORMAL);
      if (checkable) mi->Check((item.state & MF_CHECKED) != 0);
      mi->Enable(!Grayed(item.state));
    }
  }
  return m;
}

wxMenu* WxBackend::Impl::BuildExtras(const std::vector<SysEntry>& extras, std::map<int, int>& ids,
                                     int& nextId) {
  auto* m = new wxMenu;
  for (const SysEntry& e : extras) {
    if (e.separator) {
      m->AppendSeparator();
      continue;
    }
    const int wxId = nextId++;
    ids[wxId] = e.id;
    const bool checked = (e.state & MF_CHECKED) != 0;
    wxMenuItem* mi =
        m->Append(wxId, ToWx(e.text), wxString(), checked ? wxITEM_CHECK : wxITEM_NORMAL);
    if (checked) mi->Check(true);
    mi->Enable(!Grayed(e.state));
  }
  return m;
}

void WxBackend::Impl::RebuildMenuBar(Window& w) {
  if (!w.frame) return;
  w.menus.clear();
  w.commands.clear();
  w.sysCommands.clear();
  w.nextMenuId = wxID_HIGHEST + 1;
  auto* bar = new wxMenuBar;
  std::vector<bool> enabled;
  if (const CMenu* menu = w.dialog->GetMenu()) {
    for (const CMenu::Item& item : menu->Items()) {
      // A menu bar holds popups only; a bare command there has no wx form.
      if (!item.popup) continue;
      bar->Append(BuildMenu(w, *item.popup), ToWx(item.text));
      enabled.push_back(!Grayed(item.state));
    }
  }
  if (!w.sysExtras.empty()) {
    bar->Append(BuildExtras(w.sysExtras, w.sysCommands, w.nextMenuId), "?");
    enabled.push_back(true);
  }
  const wxSize client = w.client->GetSize();
  w.frame->SetMenuBar(bar);
  for (std::size_t i = 0; i < enabled.size(); ++i) {
    if (!enabled[i]) bar->EnableTop(i, false);
  }
  // The bar takes its height from the frame, not from the client area.
  w.frame->SetClientSize(client);
}

// The layer changes its menus' states without telling (as the other system
// does); a menu shows them as it opens.
void WxBackend::Impl::SyncMenuStates(Window& w, const wxMenu* menu) {
  auto found = w.menus.find(menu);
  if (found == w.menus.end()) return;
  const CMenu& source = *found->second;
  const wxMenuItemList& items = menu->GetMenuItems();
  if (items.size() != source.Items().size()) {
    w.menuDirty = true;
    ScheduleFlush();
    return;
  }
  std::size_t i = 0;
  for (wxMenuItem* mi : items) {
    const CMenu::Item& item = source.Items()[i++];
    if (item.separator != mi->IsSeparator() || (item.popup != nullptr) != mi->IsSubMenu()) {
      w.menuDirty = true;
      ScheduleFlush();
      return;
    }
    if (item.separator) continue;
    const wxString text = ToWx(item.text);
    if (mi->GetItemLabel() != text) mi->SetItemLabel(text);
    if (mi->IsEnabled() == Grayed(item.state)) mi->Enable(!Grayed(item.state));
    if (item.popup) {
      SyncMenuStates(w, mi->GetSubMenu());
      continue;
    }
    // ModifyMenu may have given the item another command.
    if (auto command = w.commands.find(mi->GetId()); command != w.commands.end()) {
      command->second = item.id;
    }
    const bool checked = (item.state & MF_CHECKED) != 0;
    if (mi->IsCheckable()) {
      if (mi->IsChecked() != checked) mi->Check(checked);
    } else if (checked) {
      w.menuDirty = true;  // it needs a checkable item
      ScheduleFlush();
    }
  }
}

// Without a menu bar, what the dialog added to its system menu is offered on
// a right click on the window's background.
void WxBackend::Impl::ShowExtrasMenu(Window& w, const wxPoint& at) {
  std::map<int, int> ids;
  int nextId = wxID_HIGHEST + 1;
  std::unique_ptr<wxMenu> menu(BuildExtras(w.sysExtras, ids, nextId));
  CDialog* d = w.dialog;
  const std::uint64_t serial = w.serial;
  const int chosen = w.client->GetPopupMenuSelectionFromUser(*menu, at);
  auto it = ids.find(chosen);
  if (it != ids.end() && Live(d, serial)) d->InputSysCommand(static_cast<UINT>(it->second));
  ScheduleFlush();
}

// ---- painting ----------------------------------------------------------------

void WxBackend::Impl::PaintSurface(wxDC& dc, const Surface& surface, const wxPoint& offset) {
  for (const DrawOp& op : surface.Ops()) {
    if (op.kind == DrawOp::Kind::kIcon) {
      if (!op.icon) continue;
      dc.DrawBitmap(IconBitmap(op.icon, GetSystemMetrics(SM_CXICON)), op.dest.x + offset.x,
                    op.dest.y + offset.y, true);
      continue;
    }
    const auto* pixels =
        dynamic_cast<const WxDecodedImage*>(op.image ? op.image->pixels.get() : nullptr);
    if (!pixels) continue;
    const wxImage part =
        pixels->Stretched(op.src, op.dest.cx, op.dest.cy, op.stretchMode == HALFTONE);
    if (part.IsOk()) dc.DrawBitmap(wxBitmap(part), op.dest.x + offset.x, op.dest.y + offset.y);
  }
}

wxWindow* WxBackend::Impl::OwnerWindow(HWND owner) {
  if (CDialog* dialog = CDialog::FromHandle(owner)) {
    if (Window* w = Find(dialog)) return w->top;
  }
  return nullptr;
}

// ---- the back end --------------------------------------------------------------

WxBackend::WxBackend() : impl_(std::make_unique<Impl>()) {
  static int argc = 1;
  static char arg0[] = "tallowmere";
  static char* argv[] = {arg0, nullptr};
  if (!wxTheApp) wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv)) return;
  impl_->started = true;
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

void WxBackend::OnDialogShown(DialogHandler handler) { impl_->onShown = std::move(handler); }
void WxBackend::SetModalTimeout(std::chrono::milliseconds timeout) {
  impl_->modalTimeout = timeout;
}

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
  FrameMetrics f = impl_->decoration;
  if (t.menuId) f.top += impl_->EstimatedMenuBarHeight();
  return f;
}

Rect WxBackend::WorkArea() {
  if (!impl_->started) return UiBackend::WorkArea();
  const wxRect area = wxDisplay(0u).GetClientArea();
  return Rect{area.x, area.y, area.width, area.height};
}

// ---- test accessors --------------------------------------------------------------

std::optional<BaseUnits> WxBackend::DialogBaseUnits(const CDialog& dialog) const {
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w) return std::nullopt;
  return w->units;
}

std::optional<Rect> WxBackend::ClientRect(const CDialog& dialog) const {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w) return std::nullopt;
  const wxSize size = w->client->GetSize();
  return Rect{0, 0, size.x, size.y};
}

int WxBackend::MenuBarHeight(const CDialog& dialog) const {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || !w->frame || !w->frame->GetMenuBar()) return 0;
  return w->frame->GetMenuBar()->GetSize().y;
}

std::optional<Rect> WxBackend::ControlRect(const CDialog& dialog, std::size_t index) const {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->slots.size()) return std::nullopt;
  const wxRect r = w->slots[index].win->GetRect();
  return Rect{r.x, r.y, r.width, r.height};
}

std::optional<WxBackend::ControlView> WxBackend::ViewControl(const CDialog& dialog,
                                                             std::size_t index) const {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->slots.size()) return std::nullopt;
  wxWindow* c = w->slots[index].win;
  ControlView view;
  view.shown = c->IsShown();
  view.enabled = c->IsEnabled();
  if (auto* edit = dynamic_cast<wxTextCtrl*>(c)) {
    view.text = Utf8(edit->GetValue());
  } else if (auto* text = dynamic_cast<wxStaticText*>(c)) {
    view.text = Utf8(text->GetLabelText());
  } else if (auto* choice = dynamic_cast<wxChoice*>(c)) {
    view.text = Utf8(choice->GetStringSelection());
    for (const wxString& item : choice->GetStrings()) view.items.push_back(Utf8(item));
    view.selection = choice->GetSelection();
  } else {
    view.text = Utf8(c->GetLabel());
  }
  if (auto* check = dynamic_cast<wxCheckBox*>(c)) view.checked = check->GetValue();
  if (auto* radio = dynamic_cast<wxRadioButton*>(c)) view.checked = radio->GetValue();
  if (auto* gauge = dynamic_cast<wxGauge*>(c)) {
    view.value = gauge->GetValue();
    view.range = gauge->GetRange();
  }
  if (auto* icon = dynamic_cast<IconButton*>(c)) view.hasBitmap = icon->HasIcon();
  if (w->slots[index].kind == ControlKind::kIcon) {
    Control* control = impl_->ControlAt(const_cast<Impl::Window&>(*w), index);
    view.hasBitmap = control && control->GetIcon() != 0;
  }
  return view;
}

std::optional<WxBackend::ListView> WxBackend::ViewList(const CDialog& dialog,
                                                       std::size_t index) const {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->slots.size()) return std::nullopt;
  auto* list = dynamic_cast<wxListCtrl*>(w->slots[index].win);
  if (!list) return std::nullopt;
  ListView view;
  for (int i = 0; i < list->GetColumnCount(); ++i) {
    wxListItem item;
    item.SetMask(wxLIST_MASK_TEXT);
    list->GetColumn(i, item);
    view.headings.push_back(Utf8(item.GetText()));
    view.widths.push_back(list->GetColumnWidth(i));
  }
  const int texts = std::max(list->GetColumnCount(), 1);
  for (long row = 0; row < list->GetItemCount(); ++row) {
    std::vector<std::string> cells;
    for (int col = 0; col < texts; ++col) cells.push_back(Utf8(list->GetItemText(row, col)));
    view.rows.push_back(std::move(cells));
    wxListItem item;
    item.SetId(row);
    item.SetMask(wxLIST_MASK_IMAGE);
    list->GetItem(item);
    view.images.push_back(item.GetImage());
    if (list->GetItemState(row, wxLIST_STATE_SELECTED)) {
      view.selected.push_back(static_cast<int>(row));
    }
  }
  if (const wxImageList* images = list->GetImageList(wxIMAGE_LIST_SMALL)) {
    view.imageCount = images->GetImageCount();
  }
  return view;
}

std::optional<std::vector<WxBackend::TreeItemView>> WxBackend::ViewTree(const CDialog& dialog,
                                                                       std::size_t index) const {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->slots.size()) return std::nullopt;
  auto* tree = dynamic_cast<wxTreeCtrl*>(w->slots[index].win);
  if (!tree) return std::nullopt;
  std::vector<TreeItemView> items;
  std::function<void(const wxTreeItemId&, int)> walk = [&](const wxTreeItemId& parent, int depth) {
    wxTreeItemIdValue cookie;
    for (wxTreeItemId id = tree->GetFirstChild(parent, cookie); id.IsOk();
         id = tree->GetNextChild(parent, cookie)) {
      items.push_back(TreeItemView{Utf8(tree->GetItemText(id)), depth, tree->IsExpanded(id),
                                   tree->IsSelected(id), tree->GetItemImage(id)});
      walk(id, depth + 1);
    }
  };
  walk(tree->GetRootItem(), 0);
  return items;
}

std::optional<Rect> WxBackend::TreeItemRect(const CDialog& dialog, std::size_t index,
                                            HTREEITEM item) const {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->slots.size() || !w->slots[index].tree) return std::nullopt;
  const auto& toWx = w->slots[index].tree->toWx;
  auto it = toWx.find(item);
  wxRect r;
  auto* tree = static_cast<wxTreeCtrl*>(w->slots[index].win);
  if (it == toWx.end() || !tree->GetBoundingRect(it->second, r, true)) return std::nullopt;
  return Rect{r.x, r.y, r.width, r.height};
}

std::vector<WxBackend::MenuItemView> WxBackend::ViewMenuBar(const CDialog& dialog) const {
  impl_->FlushAll();
  std::vector<MenuItemView> view;
  const Impl::Window* w = impl_->Find(&dialog);
  wxMenuBar* bar = w && w->frame ? w->frame->GetMenuBar() : nullptr;
  if (!bar) return view;
  const auto layerId = [w](int wxId) {
    if (auto it = w->commands.find(wxId); it != w->commands.end()) return it->second;
    if (auto it = w->sysCommands.find(wxId); it != w->sysCommands.end()) return it->second;
    return 0;
  };
  std::function<void(const wxMenu*, std::vector<MenuItemView>&)> walk =
      [&](const wxMenu* menu, std::vector<MenuItemView>& out) {
        for (const wxMenuItem* mi : menu->GetMenuItems()) {
          MenuItemView item;
          item.separator = mi->IsSeparator();
          if (!item.separator) {
            item.text = Utf8(mi->GetItemLabel());
            item.enabled = mi->IsEnabled();
            item.checkable = mi->IsCheckable();
            item.checked = mi->IsCheckable() && mi->IsChecked();
          }
          if (mi->IsSubMenu()) {
            walk(mi->GetSubMenu(), item.items);
          } else if (!item.separator) {
            item.id = layerId(mi->GetId());
          }
          out.push_back(std::move(item));
        }
      };
  for (std::size_t i = 0; i < bar->GetMenuCount(); ++i) {
    MenuItemView top;
    top.text = Utf8(bar->GetMenuLabel(i));
    top.enabled = bar->IsEnabledTop(i);
    walk(bar->GetMenu(i), top.items);
    view.push_back(std::move(top));
  }
  return view;
}

bool WxBackend::Click(const CDialog& dialog, std::size_t index) {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->slots.size()) return false;
  wxWindow* c = w->slots[index].win;
  if (auto* check = dynamic_cast<wxCheckBox*>(c)) {
    // What GTK does on a click: toggle, then tell.
    check->SetValue(!check->GetValue());
    wxCommandEvent event(wxEVT_CHECKBOX, check->GetId());
    event.SetEventObject(check);
    event.SetInt(check->GetValue() ? 1 : 0);
    check->ProcessWindowEvent(event);
    return true;
  }
  if (auto* radio = dynamic_cast<wxRadioButton*>(c)) {
    if (radio->GetValue()) return true;  // GTK says nothing for a button already on
    radio->SetValue(true);
    wxCommandEvent event(wxEVT_RADIOBUTTON, radio->GetId());
    event.SetEventObject(radio);
    event.SetInt(1);
    radio->ProcessWindowEvent(event);
    return true;
  }
  if (auto* button = dynamic_cast<wxButton*>(c)) {
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
    return true;
  }
  if (auto* icon = dynamic_cast<IconButton*>(c)) {
    icon->Click();
    return true;
  }
  return false;
}

bool WxBackend::TypeInto(const CDialog& dialog, std::size_t index, const std::string& utf8) {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->slots.size()) return false;
  auto* edit = dynamic_cast<wxTextCtrl*>(w->slots[index].win);
  if (!edit) return false;
  edit->SetValue(wxString::FromUTF8(utf8.c_str()));  // raises wxEVT_TEXT, as typing does
  return true;
}

namespace {
void SendMouse(wxWindow* target, wxEventType type, const wxPoint& at) {
  wxMouseEvent event(type);
  event.SetEventObject(target);
  event.SetPosition(at);
  event.SetLeftDown(type == wxEVT_LEFT_DOWN);
  event.SetRightDown(type == wxEVT_RIGHT_DOWN);
  target->ProcessWindowEvent(event);
}
}  // namespace

bool WxBackend::ClickListRow(const CDialog& dialog, std::size_t index, int row, bool right) {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->slots.size()) return false;
  auto* list = dynamic_cast<wxListCtrl*>(w->slots[index].win);
  if (!list) return false;
  wxWindow* rows = w->slots[index].input;
  wxPoint at(rows->GetClientSize().x / 2, rows->GetClientSize().y - 2);
  if (row >= 0) {
    wxRect r;
    if (row >= list->GetItemCount() || !list->GetItemRect(row, r)) return false;
    // The rectangle is the list's; the rows' window lies under the header.
    at = wxPoint(r.x + std::min(r.width, rows->GetClientSize().x) / 2, r.y + r.height / 2) -
         rows->GetPosition();
  }
  SendMouse(rows, right ? wxEVT_RIGHT_DOWN : wxEVT_LEFT_DOWN, at);
  SendMouse(rows, right ? wxEVT_RIGHT_UP : wxEVT_LEFT_UP, at);
  return true;
}

bool WxBackend::ClickTreeItem(const CDialog& dialog, std::size_t index, HTREEITEM item) {
  const std::optional<Rect> r = TreeItemRect(dialog, index, item);
  const Impl::Window* w = impl_->Find(&dialog);
  if (!r || !w) return false;
  wxWindow* tree = w->slots[index].win;
  const wxPoint at(r->x + r->cx / 2, r->y + r->cy / 2);
  SendMouse(tree, wxEVT_LEFT_DOWN, at);
  SendMouse(tree, wxEVT_LEFT_UP, at);
  return true;
}

bool WxBackend::Choose(const CDialog& dialog, std::size_t index, int row) {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->slots.size()) return false;
  auto* choice = dynamic_cast<wxChoice*>(w->slots[index].win);
  if (!choice || row < 0 || row >= static_cast<int>(choice->GetCount())) return false;
  choice->SetSelection(row);  // what GTK does, then tells
  wxCommandEvent event(wxEVT_CHOICE, choice->GetId());
  event.SetEventObject(choice);
  event.SetInt(row);
  event.SetString(choice->GetString(row));
  choice->ProcessWindowEvent(event);
  return true;
}

bool WxBackend::Spin(const CDialog& dialog, std::size_t index, int delta) {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  if (!w || index >= w->slots.size()) return false;
  auto* spin = dynamic_cast<UpDownWindow*>(w->slots[index].win);
  if (!spin || delta == 0) return false;
  spin->Press(delta > 0 ? 1 : -1);
  return true;
}

bool WxBackend::ChooseMenuItem(const CDialog& dialog, int id) {
  impl_->FlushAll();
  const Impl::Window* w = impl_->Find(&dialog);
  wxMenuBar* bar = w && w->frame ? w->frame->GetMenuBar() : nullptr;
  if (!bar) return false;
  int wxId = wxID_NONE;
  for (const auto* ids : {&w->commands, &w->sysCommands}) {
    for (const auto& [key, value] : *ids) {
      if (value == id) wxId = key;
    }
  }
  wxMenuItem* item = wxId == wxID_NONE ? nullptr : bar->FindItem(wxId);
  if (!item || !item->IsEnabled()) return false;  // GTK offers no grayed item
  if (item->IsCheckable()) item->Check(!item->IsChecked());
  wxCommandEvent event(wxEVT_MENU, wxId);
  event.SetEventObject(w->frame);
  event.SetInt(item->IsCheckable() && item->IsChecked() ? 1 : 0);
  w->frame->ProcessWindowEvent(event);
  return true;
}

std::string WxBackend::FontFace(const CDialog& dialog) const {
  const Impl::Window* w = impl_->Find(&dialog);
  return w ? std::string(w->face) : std::string();
}

bool WxBackend::SaveScreenshot(const CDialog& dialog, const std::string& path) {
  // Generic controls lay themselves out when idle, then paint.
  impl_->DispatchFor(std::chrono::milliseconds(150));
  Impl::Window* w = impl_->Find(&dialog);
  if (!w || !w->top->IsShownOnScreen()) return false;
  w->top->Update();
  const wxSize size = w->client->GetClientSize();
  if (size.x <= 0 || size.y <= 0) return false;
  int bar = 0;
  if (w->frame && w->frame->GetMenuBar()) bar = std::max(0, w->frame->GetMenuBar()->GetSize().y);
  wxBitmap bitmap(size.x, size.y + bar, 24);
  {
    wxMemoryDC memory(bitmap);
    if (bar > 0) {
      // The bar lies outside the client area; the screen shows it, and the
      // window is on top there.
      wxScreenDC screen;
      const wxPoint at = w->client->GetScreenPosition() - wxPoint(0, bar);
      if (!memory.Blit(0, 0, size.x, bar, &screen, at.x, at.y)) return false;
    }
    // From the window itself, not the screen: a window closed a moment ago
    // may still show there.
    wxClientDC window(w->client);
    if (!memory.Blit(0, bar, size.x, size.y, &window, 0, 0)) return false;
    memory.SelectObject(wxNullBitmap);
  }
  return bitmap.ConvertToImage().SaveFile(wxString::FromUTF8(path.c_str()), wxBITMAP_TYPE_PNG);
}

void WxBackend::Pump(std::chrono::milliseconds time) { impl_->DispatchFor(time); }

// ---- loops and pickers ----------------------------------------------------------

void WxBackend::RunModalLoop(CDialog& dialog) {
  if (!impl_->Find(&dialog)) return;  // DoModal answers kModalFailed
  wxGUIEventLoop loop;
  wxEventLoopActivator activate(&loop);
  const auto start = std::chrono::steady_clock::now();
  const auto timedOut = [&] {
    return impl_->modalTimeout.count() > 0 &&
           std::chrono::steady_clock::now() - start > impl_->modalTimeout;
  };
  bool handedOver = false;
  std::optional<std::chrono::steady_clock::time_point> onScreenSince;
  while (!dialog.IsEnded() && !timedOut()) {
    if (RunOnePending()) continue;
    if (wxTheApp && wxTheApp->HasPendingEvents()) {
      wxTheApp->ProcessPendingEvents();
      continue;
    }
    if (dialog.IsEnded()) break;
    // Nothing queued: the layer shows the dialog now, the first time.
    dialog.OnModalIdle();
    impl_->FlushAll();
    Impl::Window* w = impl_->Find(&dialog);
    if (!w) break;
    if (!handedOver && impl_->onShown) {
      // Handed to the test once mapped and drawn.
      if (dialog.IsWindowVisible() && w->top->IsShownOnScreen()) {
        const auto now = std::chrono::steady_clock::now();
        if (!onScreenSince) onScreenSince = now;
        if (now - *onScreenSince > std::chrono::milliseconds(300)) {
          handedOver = true;
          DialogHandler handler = impl_->onShown;  // it may open a nested dialog
          handler(dialog);
          continue;
        }
      }
    }
    loop.DispatchTimeout(handedOver || !impl_->onShown ? 50 : 10);
    loop.ProcessIdle();
  }
}

int WxBackend::ShowMessageBox(HWND owner, WStringView text, WStringView caption, UINT type) {
  impl_->FlushAll();
  wxWindow* parent = impl_->OwnerWindow(owner);
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

int WxBackend::TrackPopupMenu(const CMenu& menu, UINT /*flags*/, Point screen, CDialog* owner) {
  if (!impl_->started) return 0;
  impl_->FlushAll();
  Impl::Window* w = owner ? impl_->Find(owner) : nullptr;
  if (!w) {
    for (auto& [dialog, window] : impl_->windows) {
      if (window.shown) w = &window;
    }
  }
  if (!w) return 0;
  // A window of its own for the menu's ids; the bar's stay as they are.
  Impl::Window scratch;
  scratch.dialog = w->dialog;
  std::unique_ptr<wxMenu> popup(impl_->BuildMenu(scratch, menu));
  const wxPoint at = w->client->ScreenToClient(wxPoint(screen.x, screen.y));
  const int chosen = w->client->GetPopupMenuSelectionFromUser(*popup, at);
  auto it = scratch.commands.find(chosen);
  return it == scratch.commands.end() ? 0 : it->second;
}

int WxBackend::RunFileDialog(const FileDialogRequest& request, WString* path, int* filterIndex) {
  if (!impl_->started) return IDCANCEL;
  impl_->FlushAll();
  wxString wildcard;
  for (const FileFilter& f : request.filters) {
    if (!wildcard.empty()) wildcard += "|";
    wildcard += ToWx(f.description) + "|" + ToWx(f.patterns);
  }
  if (wildcard.empty()) wildcard = wxFileSelectorDefaultWildcardStr;
  long style = request.save ? wxFD_SAVE : wxFD_OPEN;
  if (request.flags & OFN_OVERWRITEPROMPT) style |= wxFD_OVERWRITE_PROMPT;
  wxFileDialog dialog(impl_->OwnerWindow(request.owner), request.save ? "Save As" : "Open",
                      ToWx(request.initialFolder), ToWx(request.fileName), wildcard, style);
  if (!request.filters.empty()) dialog.SetFilterIndex(std::max(0, request.filterIndex - 1));
  // wx gave the name the first filter's extension; the layer adds that of
  // the filter finally chosen to a name without one.
  dialog.SetFilename(ToWx(request.fileName));
  if (dialog.ShowModal() != wxID_OK) return IDCANCEL;
  if (path) *path = FromWx(dialog.GetPath());
  if (filterIndex) *filterIndex = dialog.GetFilterIndex() + 1;
  return IDOK;
}

int WxBackend::BrowseForFolder(HWND owner, WStringView title, WString* folder) {
  if (!impl_->started) return IDCANCEL;
  impl_->FlushAll();
  wxDirDialog dialog(impl_->OwnerWindow(owner), ToWx(title), wxString(),
                     wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return IDCANCEL;
  if (folder) *folder = FromWx(dialog.GetPath());
  return IDOK;
}

bool WxBackend::DecodeImage(WStringView path, std::shared_ptr<const DecodedImage>* pixels) {
  // Read here rather than by name, so that the file name's encoding is ours.
  std::ifstream in(ToAnsi(path), std::ios::binary);
  if (!in) return false;
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  if (bytes.empty()) return false;
  wxLogNull quiet;  // a broken file answers false, not a log window
  wxMemoryInputStream stream(bytes.data(), bytes.size());
  wxImage image;
  if (!image.LoadFile(stream, wxBITMAP_TYPE_ANY) || !image.IsOk()) return false;
  if (pixels) *pixels = std::make_shared<WxDecodedImage>(std::move(image));
  return true;
}

bool WxBackend::TreeHitTest(const CTreeCtrl& tree, Point client, HTREEITEM* item) {
  Impl::Window* w = impl_->Find(&tree.Parent());
  if (!w) return false;
  auto it = w->indexOf.find(&tree);
  if (it == w->indexOf.end() || !w->slots[it->second].tree) return false;
  impl_->FlushSlot(*w, it->second);
  const Impl::TreeState& state = *w->slots[it->second].tree;
  auto* wxTree = static_cast<wxTreeCtrl*>(w->slots[it->second].win);
  int flags = 0;
  const wxTreeItemId hit = wxTree->HitTest(wxPoint(client.x, client.y), flags);
  HTREEITEM found = nullptr;
  if (hit.IsOk()) {
    auto f = state.fromWx.find(hit.GetID());
    if (f != state.fromWx.end()) found = f->second;
  }
  if (item) *item = found;
  return true;
}

// ---- mirrors of the layer ---------------------------------------------------------

void WxBackend::Wake() {
  // Also runs the queue inside loops that are not ours (a message box's).
  std::lock_guard lock(g_wakeMutex);
  if (!g_wxAlive || !wxTheApp) return;
  wxTheApp->CallAfter([] { RunPending(); });
}

void WxBackend::WindowCreated(CDialog& dialog) {
  const DialogTemplate* t = dialog.Template();
  if (!t || !impl_->started) return;
  Impl* impl = impl_.get();
  wxWindow* parent = nullptr;
  if (CDialog* owner = dialog.GetParent()) {
    if (Impl::Window* w = impl->Find(owner)) parent = w->top;
  }
  long style = wxCAPTION;
  if (t->style & WS_SYSMENU) style |= wxSYSTEM_MENU | wxCLOSE_BOX;
  Impl::Window& w = impl->windows[&dialog];
  w = Impl::Window{};
  w.dialog = &dialog;
  w.serial = impl->nextSerial++;
  // GTK dialogs cannot hold a menu bar: a window with one is a frame.
  if (t->menuId) {
    w.frame = new wxFrame(parent, wxID_ANY, ToWx(dialog.GetWindowText()), wxDefaultPosition,
                          wxDefaultSize, style);
    w.top = w.frame;
  } else {
    w.top = new wxDialog(parent, wxID_ANY, ToWx(dialog.GetWindowText()), wxDefaultPosition,
                         wxDefaultSize, style);
  }
  w.client = new wxPanel(w.top, wxID_ANY);
  const wxFont font = DialogFont(*t);
  w.top->SetFont(font);
  w.client->SetFont(font);
  w.face = font.GetFaceName().ToStdString();
  w.units = DialogBaseUnits(*t);
  w.metrics = WindowFrame(*t);
  const Rect client = DialogUnitsToPixels(Rect{0, 0, t->rect.cx, t->rect.cy}, w.units);
  w.top->SetClientSize(client.cx, client.cy);
  impl->MakeControls(w, *t);

  CDialog* d = &dialog;
  const std::uint64_t serial = w.serial;
  wxTopLevelWindow* top = w.top;
  top->Bind(wxEVT_CLOSE_WINDOW, [impl, d, serial](wxCloseEvent& e) {
    if (!e.CanVeto()) {
      e.Skip();
      return;
    }
    e.Veto();  // the layer decides, and destroys the window itself
    if (impl->Live(d, serial)) d->InputCloseBox();
    impl->ScheduleFlush();
  });
  top->Bind(wxEVT_CHAR_HOOK, [impl, d, serial](wxKeyEvent& e) {
    Impl::Window* w = impl->Live(d, serial);
    if (!w) return e.Skip();
    switch (e.GetKeyCode()) {
      case WXK_ESCAPE:
        d->InputKey(VK_ESCAPE);
        break;
      case WXK_RETURN:
      case WXK_NUMPAD_ENTER:
        // The layer picks the button: the focused push button, else the default.
        d->InputKey(VK_RETURN);
        break;
      case WXK_UP:
      case WXK_DOWN: {
        // In an edit the arrows are the dialog's (an up-down's buddy steps).
        wxWindow* focus = wxWindow::FindFocus();
        const auto edit = std::find_if(w->slots.begin(), w->slots.end(), [focus](const auto& s) {
          return s.kind == ControlKind::kEdit && s.win == focus;
        });
        if (!focus || edit == w->slots.end()) return e.Skip();
        d->InputKey(e.GetKeyCode() == WXK_UP ? VK_UP : VK_DOWN);
        break;
      }
      default:
        return e.Skip();
    }
    impl->ScheduleFlush();
  });
  top->Bind(wxEVT_ICONIZE, [impl, d, serial](wxIconizeEvent& e) {
    e.Skip();
    Impl::Window* w = impl->Live(d, serial);
    if (!w || !w->shown) return;
    // The window manager minimised or restored it; our own requests come
    // back here as what the layer already holds.
    w->iconic = e.IsIconized();
    if (w->iconic != d->IsIconic()) {
      if (w->iconic) {
        d->InputMinimize();
      } else {
        d->InputRestore();
      }
    }
    if (Impl::Window* again = impl->Live(d, serial)) again->dirty = true;
    impl->ScheduleFlush();
  });
  top->Bind(wxEVT_MOVE, [impl, d, serial, top](wxMoveEvent& e) {
    e.Skip();
    Impl::Window* w = impl->Live(d, serial);
    if (!w || !w->shown || d->IsIconic()) return;
    const wxPoint at = top->GetPosition();
    const Rect r = d->GetWindowRect();
    if (at.x == r.x && at.y == r.y) return;
    d->InputMoved(at.x, at.y);
    w->placed = d->GetWindowRect();
  });
  top->Bind(wxEVT_MENU, [impl, d, serial](wxCommandEvent& e) {
    Impl::Window* w = impl->Live(d, serial);
    if (!w) return;
    if (auto it = w->commands.find(e.GetId()); it != w->commands.end()) {
      const int command = it->second;
      w->menuStatesDirty = true;  // wx flipped a check item by itself
      d->InputMenuCommand(command);
    } else if (auto sys = w->sysCommands.find(e.GetId()); sys != w->sysCommands.end()) {
      w->dirty = true;
      d->InputSysCommand(static_cast<UINT>(sys->second));
    } else {
      e.Skip();
    }
    impl->ScheduleFlush();
  });
  top->Bind(wxEVT_MENU_OPEN, [impl, d, serial](wxMenuEvent& e) {
    e.Skip();
    Impl::Window* w = impl->Live(d, serial);
    if (!w || !e.GetMenu()) return;
    ++impl->updating;
    impl->SyncMenuStates(*w, e.GetMenu());
    --impl->updating;
  });
  top->Bind(wxEVT_DESTROY, [impl, d, serial, top](wxWindowDestroyEvent& e) {
    e.Skip();
    // wx takes an owned window down with its owner; the layer's mirror of
    // it goes then too, so that nothing points at it.
    if (e.GetEventObject() != top) return;
    if (impl->Live(d, serial)) impl->windows.erase(d);
  });
  w.client->Bind(wxEVT_PAINT, [impl, d, serial](wxPaintEvent&) {
    Impl::Window* w = impl->Live(d, serial);
    if (!w) return;
    wxPaintDC dc(w->client);
    impl->PaintSurface(dc, d->GetSurface(), wxPoint(0, 0));
  });
  w.client->Bind(wxEVT_RIGHT_DOWN, [impl, d, serial](wxMouseEvent& e) {
    Impl::Window* w = impl->Live(d, serial);
    if (!w || w->frame || w->sysExtras.empty() || !d->IsWindowEnabled()) return e.Skip();
    impl->ShowExtrasMenu(*w, e.GetPosition());
  });

  if (dialog.GetMenu()) w.menuDirty = true;
  impl->ScheduleFlush();
}

void WxBackend::WindowDestroyed(CDialog& dialog) {
  auto it = impl_->windows.find(&dialog);
  if (it == impl_->windows.end()) return;
  wxTopLevelWindow* top = it->second.top;
  impl_->windows.erase(it);
  top->Hide();
  // Deferred: this may run inside one of the window's own handlers.
  top->Destroy();
}

void WxBackend::WindowChanged(CDialog& dialog) {
  Impl::Window* w = impl_->Find(&dialog);
  if (!w) return;
  // Applied once the current call is done: a show and a restore in a row
  // make one change on the screen.
  w->dirty = true;
  impl_->ScheduleFlush();
}

void WxBackend::ControlChanged(Control& control) {
  Impl::Window* w = impl_->Find(&control.Parent());
  if (!w) return;
  auto it = w->indexOf.find(&control);
  if (it == w->indexOf.end()) return;
  Impl::Slot& slot = w->slots[it->second];
  switch (slot.kind) {
    case ControlKind::kListView:
    case ControlKind::kTreeView:
    case ControlKind::kComboBox:
      // Filled one row at a time: shown in one go when the loop comes round.
      if (slot.win->IsShown() != control.IsVisible() ||
          slot.win->IsEnabled() != control.IsEnabled()) {
        impl_->Apply(*w, it->second);
      }
      slot.dirty = true;
      impl_->ScheduleFlush();
      break;
    case ControlKind::kRadio:
      impl_->ApplyRadioGroup(*w, slot.group);
      break;
    default:
      slot.dirty = false;
      impl_->Apply(*w, it->second);
      break;
  }
}

void WxBackend::MenuChanged(CDialog& dialog) {
  Impl::Window* w = impl_->Find(&dialog);
  if (!w || !w->frame) return;
  w->menuDirty = true;
  impl_->ScheduleFlush();
}

void WxBackend::SurfaceChanged(CDialog& dialog, Control* control) {
  Impl::Window* w = impl_->Find(&dialog);
  if (!w) return;
  if (!control) {
    w->client->Refresh();
    return;
  }
  auto it = w->indexOf.find(control);
  if (it != w->indexOf.end()) w->slots[it->second].win->Refresh();
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
