// The program's windows found on the screen from outside, for the test and
// the benchmark that work the built program: its dialog templates laid over
// the windows' real places and sizes, and the rows of ink a list or a tree
// shows. Native controls stand where the template puts them scaled to the
// window; what wx draws (lists, trees, pictures) is read from the pixels.
// Library tallow_test_x11.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "support/x_input.h"

namespace tallow::test {

// A rectangle of a dialog template, in dialog units.
struct DialogRect {
  double x, y, width, height;
};

// A control's rectangle in the program's own dialog template; the whole
// dialog's for |controlId| 0. Throws std::runtime_error when the template
// or the control is not there (the program's resources must be registered).
DialogRect TemplateRect(int dialogId, int controlId = 0);

// A window's template laid on the screen: the controls stand at their
// template rectangles scaled by the window's base units, below its menu bar.
struct Layout {
  XRect window;
  double sx = 1;
  double sy = 1;
  int clientTop = 0;  // the menu bar's height

  XRect Place(const DialogRect& r) const;
};

// A dialog without a menu (template |dialogId|): its window is its client area.
Layout DialogLayout(XInput& input, unsigned long window, int dialogId);
// The main window: its width gives the horizontal scale; the preview
// frame's black border the vertical one and where the menu bar ends. None
// while the frame is not on the screen.
std::optional<Layout> MainWindowLayout(XInput& input, unsigned long window);

// The rows of text a list or a tree shows inside |area|: bands of lines
// holding dark pixels (a list's first band is its header). |right|: the
// band's rightmost dark pixel.
struct Band {
  int top, bottom, right;
};
std::vector<Band> InkBands(const XScreenImage& screen, const XRect& area);

// Pixels inside |area| (less its border) darker than the background of an
// empty frame: what a page picture brings.
int DarkPixels(const XScreenImage& screen, const XRect& area);

int CenterX(const XRect& r);
int CenterY(const XRect& r);

// Asks |condition| every |every| until it holds (true) or |timeout| has
// passed (false).
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
             std::chrono::milliseconds every = std::chrono::milliseconds(50));

}  // namespace tallow::test
