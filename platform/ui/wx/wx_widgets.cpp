#include "platform/ui/wx/wx_widgets.h"

#include <wx/dcclient.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include <algorithm>

namespace tallow::ui {

Canvas::Canvas(wxWindow* parent, const wxPoint& pos, const wxSize& size)
    : wxWindow(parent, wxID_ANY, pos, size, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE) {
  SetThemeEnabled(true);  // GTK paints the window's own background under ours
  Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
    wxPaintDC dc(this);
    if (paint) paint(dc);
  });
}

// ---- up-down ---------------------------------------------------------------------

UpDownWindow::UpDownWindow(wxWindow* parent, const wxPoint& pos, const wxSize& size)
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

UpDownWindow::~UpDownWindow() {
  repeat_.Stop();
  if (HasCapture()) ReleaseMouse();
}

void UpDownWindow::Press(int delta) {
  pressed_ = delta;
  Refresh();
  Step(delta);
  pressed_ = 0;
  Refresh();
}

void UpDownWindow::OnDown(wxMouseEvent& e) {
  if (!IsEnabled()) return;
  pressed_ = e.GetY() < GetClientSize().y / 2 ? 1 : -1;
  if (!HasCapture()) CaptureMouse();
  Refresh();
  repeat_.Start(400, wxTIMER_ONE_SHOT);  // held down, it repeats
  Step(pressed_);
}

void UpDownWindow::Release() {
  repeat_.Stop();
  if (HasCapture()) ReleaseMouse();
  if (pressed_ != 0) {
    pressed_ = 0;
    Refresh();
  }
}

void UpDownWindow::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  const wxSize s = GetClientSize();
  const int half = s.y / 2;
  const wxRect halves[2] = {wxRect(0, 0, s.x, half), wxRect(0, half, s.x, s.y - half)};
  const wxColour ink =
      wxSystemSettings::GetColour(IsEnabled() ? wxSYS_COLOUR_BTNTEXT : wxSYS_COLOUR_GRAYTEXT);
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

// ---- icon button -----------------------------------------------------------------

IconButton::IconButton(wxWindow* parent, const wxPoint& pos, const wxSize& size)
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

IconButton::~IconButton() {
  if (HasCapture()) ReleaseMouse();
}

void IconButton::SetIcon(const wxBitmap& bitmap) {
  bitmap_ = bitmap;
  Refresh();
}

void IconButton::OnDown(wxMouseEvent&) {
  if (!IsEnabled()) return;
  SetFocus();
  pressed_ = inside_ = true;
  if (!HasCapture()) CaptureMouse();
  Refresh();
}

void IconButton::Release() {
  if (HasCapture()) ReleaseMouse();
  pressed_ = false;
  Refresh();
}

void IconButton::OnPaint(wxPaintEvent&) {
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

}  // namespace tallow::ui
