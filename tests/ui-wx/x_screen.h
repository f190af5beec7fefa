// What the X server shows, asked over a connection of our own, so that it
// answers from any thread while the UI thread is busy: top-level windows by
// their title, the pixels of the screen and the mouse cursor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/ui_defs.h"

namespace tallow::ui::testing {

struct ScreenWindow {
  Rect rect;  // on the screen, frame included
  bool viewable = false;
};

// The top-level window titled |title|, a viewable one if there is one.
std::optional<ScreenWindow> FindScreenWindow(const std::string& title);

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
