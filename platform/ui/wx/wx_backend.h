// The back end that shows real windows through wxWidgets (GTK). This header
// names no wx type, so that nothing outside this folder sees wxWidgets: the
// windows are built from the templates, dialog units converted through the
// dialog's font, and the wx event loop pumps the layer's queue.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/cursor.h"
#include "platform/ui/backend.h"
#include "platform/ui/dialog.h"

namespace tallow::ui {

class WxBackend : public UiBackend, public CursorBackend {
 public:
  using DialogHandler = std::function<void(CDialog&)>;

  // Starts wxWidgets on the calling thread, which becomes the UI thread.
  // Check Ok() before use: without a display nothing starts.
  WxBackend();
  ~WxBackend() override;
  WxBackend(const WxBackend&) = delete;
  WxBackend& operator=(const WxBackend&) = delete;

  bool Ok() const;

  // Called on each modal dialog once it is shown and painted, from inside
  // its loop (tests use it to look and to close it).
  void OnDialogShown(DialogHandler handler);
  // A modal loop gives up after this long without its dialog ending, so
  // that nothing waits for ever (0: no limit).
  void SetModalTimeout(std::chrono::milliseconds timeout);

  // What the window of |dialog| shows, in pixels of its client area.
  std::optional<BaseUnits> DialogBaseUnits(const CDialog& dialog) const;
  std::optional<Rect> ClientRect(const CDialog& dialog) const;
  // The control made from the |index|th entry of the dialog's template.
  std::optional<Rect> ControlRect(const CDialog& dialog, std::size_t index) const;
  // What the wx control made from the |index|th template entry shows.
  struct ControlView {
    std::string text;  // UTF-8; label or edit contents
    bool shown = false;
    bool enabled = false;
    bool checked = false;
    int value = 0;     // progress bars: position above the lower bound
    int range = 0;
  };
  std::optional<ControlView> ViewControl(const CDialog& dialog, std::size_t index) const;
  // Plays the user on the wx control: a click on a button or check box, or
  // typing that replaces an edit's contents. False when there is no such control.
  bool Click(const CDialog& dialog, std::size_t index);
  bool TypeInto(const CDialog& dialog, std::size_t index, const std::string& utf8);
  // The face name of the font the dialog's template font was mapped to.
  std::string FontFace(const CDialog& dialog) const;
  // Writes a PNG of the dialog's client area; false when it could not.
  bool SaveScreenshot(const CDialog& dialog, const std::string& path);
  // Handles the window system's events for about |time|.
  void Pump(std::chrono::milliseconds time);

  // UiBackend
  void RunModalLoop(CDialog& dialog) override;
  int ShowMessageBox(HWND owner, WStringView text, WStringView caption, UINT type) override;
  void Wake() override;
  void WindowCreated(CDialog& dialog) override;
  void WindowDestroyed(CDialog& dialog) override;
  void WindowChanged(CDialog& dialog) override;
  void ControlChanged(Control& control) override;
  // CursorBackend
  void Show(HCURSOR cursor) override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace tallow::ui
