// Controls the back end draws itself, where GTK's own would not fit the
// templates' sizes: picture frames and icon statics, up-downs, icon buttons.
#pragma once

#include <wx/bitmap.h>
#include <wx/timer.h>
#include <wx/window.h>

#include <functional>

class wxDC;
class wxMouseEvent;
class wxPaintEvent;

namespace tallow::ui {

// A window that draws itself through |paint| (icon statics, picture frames).
class Canvas : public wxWindow {
 public:
  Canvas(wxWindow* parent, const wxPoint& pos, const wxSize& size);
  bool AcceptsFocus() const override { return false; }

  std::function<void(wxDC&)> paint;
};

// The up-down control: GTK's own spin button needs more than twice the room
// the templates give it and complains when squeezed.
class UpDownWindow : public wxWindow {
 public:
  UpDownWindow(wxWindow* parent, const wxPoint& pos, const wxSize& size);
  ~UpDownWindow() override;
  bool AcceptsFocus() const override { return false; }

  // An arrow pressed and let go at once.
  void Press(int delta);

  std::function<void(int)> onSpin;

 private:
  void Step(int delta) {
    if (onSpin) onSpin(delta);
  }
  void OnDown(wxMouseEvent& e);
  void Release();
  void OnPaint(wxPaintEvent&);

  int pressed_ = 0;  // +1 up, -1 down
  wxTimer repeat_;
};

// A push button showing an icon (BS_ICON): GTK's buttons keep a padding that
// leaves no room for the picture at the templates' sizes.
class IconButton : public wxWindow {
 public:
  IconButton(wxWindow* parent, const wxPoint& pos, const wxSize& size);
  ~IconButton() override;

  void SetIcon(const wxBitmap& bitmap);
  bool HasIcon() const { return bitmap_.IsOk(); }
  void Click() {
    if (IsEnabled() && onClick) onClick();
  }

  std::function<void()> onClick;

 private:
  void OnDown(wxMouseEvent&);
  void Release();
  void OnPaint(wxPaintEvent&);

  wxBitmap bitmap_;
  bool pressed_ = false;
  bool inside_ = false;
};

}  // namespace tallow::ui
