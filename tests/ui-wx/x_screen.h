// What the X server shows, asked over a connection of our own, so that it
// answers from any thread while the UI thread is busy: top-level windows by
// their title (also inside a window manager's frames), what the window
// manager is told of them, the keyboard's focus, the pixels of the screen
// and the mouse cursor; and the user's hands (XTEST) from any thread, while
// the UI thread sits in a native modal window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/ui_defs.h"

namespace tallow::ui::testing {

struct ScreenWindow {
  Rect rect;  // on the screen, frame included
  Rect client;  // the window itself on the screen, without a window manager's frame
  bool viewable = false;
};

// The top-level window titled |title|, a viewable one if there is one.
std::optional<ScreenWindow> FindScreenWindow(const std::string& title);

// What the window titled |title| tells the window manager of its modality:
// _NET_WM_STATE_MODAL, and the title of the window it stands over
// (WM_TRANSIENT_FOR; empty for none).
struct ModalHints {
  bool modal = false;
  std::string transientFor;
};
std::optional<ModalHints> ModalHintsOf(const std::string& title);

// The title of the top-level window that holds the keyboard's focus; empty
// when none of them does.
std::string FocusedWindowTitle();

// A left click at |screen|, and a key pressed and let go (an X key symbol
// name: "Return", "Escape"), as real input. The pointer stays where it was
// moved.
void ClickScreen(Point screen);
void PressKey(const std::string& keysym);
// Puts the keyboard's focus on the window titled |title|, as a window
// manager does when it activates a window.
void FocusScreenWindow(const std::string& title);
// The close box of the window titled |title|: WM_DELETE_WINDOW, as a window
// manager sends it.
void CloseScreenWindow(const std::string& title);

// The screen's pixels in |area|, as 8-bit red, green, blue triples.
struct ScreenPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};
std::optional<ScreenPixels> GrabScreen(const Rect& area);

// The picture of the mouse cursor shown with the pointer at |screen| (the
// pointer is moved there), as ARGB pixels.
struct ScreenCursor {
  int width = 0;
  int height = 0;
  std::vector<unsigned long> argb;
  friend bool operator==(const ScreenCursor&, const ScreenCursor&) = default;
};
std::optional<ScreenCursor> CursorAt(Point screen);

}  // namespace tallow::ui::testing
