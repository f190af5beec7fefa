#include "tests/ui-wx/x_screen.h"

#include "support/x_input.h"
#include "support/x_windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace tallow::ui::testing {

namespace {

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;


// |window| if it has |title|, else the first window below it that has: a
// window manager's frame holds its client a level or two down.
Window Titled(Display* display, Window window, const std::string& title, int depth = 0) {
  if (test::XWindowTitle(display, window) == title) return window;
  if (depth >= 3) return None;
  Window rootOut = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &rootOut, &parent, &children, &count)) return None;
  Window found = None;
  for (unsigned int i = 0; i < count && found == None; ++i) {
    found = Titled(display, children[i], title, depth + 1);
  }
  if (children) XFree(children);
  return found;
}

// The top-level window titled |title| (a viewable one if there is one), and
// the window on the screen that holds it (itself, or a window manager's frame).
struct Found {
  Window window = None;
  Window top = None;
  bool viewable = false;
};

std::optional<Found> FindTitled(Display* display, const std::string& title) {
  const Window root = DefaultRootWindow(display);
  Window rootOut = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, root, &rootOut, &parent, &children, &count)) return std::nullopt;
  std::optional<Found> found;
  // From the top of the stacking order down, a viewable one first: a window
  // closed a moment ago may linger unmapped beside a new one of its title.
  for (unsigned int i = count; i-- > 0 && !(found && found->viewable);) {
    const Window window = Titled(display, children[i], title);
    if (window == None) continue;
    XWindowAttributes top;
    XWindowAttributes own;
    if (!XGetWindowAttributes(display, children[i], &top) ||
        !XGetWindowAttributes(display, window, &own)) {
      continue;
    }
    const Found f{window, children[i], top.map_state == IsViewable && own.map_state == IsViewable};
    if (!found || f.viewable) found = f;
  }
  if (children) XFree(children);
  return found;
}

// A connection of our own and the window titled |title| on it.
struct OnDisplay {
  DisplayPtr display;
  Found found;
};

std::optional<OnDisplay> OpenTitled(const std::string& title) {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) return std::nullopt;
  std::optional<Found> found = FindTitled(display.get(), title);
  if (!found) return std::nullopt;
  return OnDisplay{std::move(display), *found};
}

// An atom list property of |window|.
std::vector<Atom> Atoms(Display* display, Window window, const char* property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::vector<Atom> atoms;
  if (XGetWindowProperty(display, window, XInternAtom(display, property, False), 0, 64, False,
                         XA_ATOM, &type, &format, &count, &after, &data) == Success &&
      data) {
    if (type == XA_ATOM && format == 32) {
      const auto* values = reinterpret_cast<const Atom*>(data);
      atoms.assign(values, values + count);
    }
    XFree(data);
  }
  return atoms;
}

// The display this process's windows are on.
std::string DisplayName() {
  const char* name = std::getenv("DISPLAY");
  return name ? name : "";
}

}  // namespace

std::optional<ScreenWindow> FindScreenWindow(const std::string& title) {
  const std::optional<OnDisplay> t = OpenTitled(title);
  if (!t) return std::nullopt;
  Display* display = t->display.get();
  XWindowAttributes top;
  XWindowAttributes own;
  if (!XGetWindowAttributes(display, t->found.top, &top) ||
      !XGetWindowAttributes(display, t->found.window, &own)) {
    return std::nullopt;
  }
  int x = 0;
  int y = 0;
  Window child = 0;
  XTranslateCoordinates(display, t->found.window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
  return ScreenWindow{Rect{top.x, top.y, top.width, top.height}, Rect{x, y, own.width, own.height},
                      t->found.viewable};
}

std::optional<ModalHints> ModalHintsOf(const std::string& title) {
  const std::optional<OnDisplay> t = OpenTitled(title);
  if (!t) return std::nullopt;
  Display* display = t->display.get();
  ModalHints hints;
  const Atom modal = XInternAtom(display, "_NET_WM_STATE_MODAL", False);
  for (Atom a : Atoms(display, t->found.window, "_NET_WM_STATE")) hints.modal |= a == modal;
  Window over = None;
  if (XGetTransientForHint(display, t->found.window, &over) && over != None) {
    hints.transientFor = test::XWindowTitle(display, over);
  }
  return hints;
}

std::string FocusedWindowTitle() {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) return {};
  Window focus = None;
  int revert = 0;
  XGetInputFocus(display.get(), &focus, &revert);
  const Window root = DefaultRootWindow(display.get());
  // The focus may sit on a window inside the top-level one: up to the first
  // that has a title.
  while (focus != None && focus != PointerRoot && focus != root) {
    std::string title = test::XWindowTitle(display.get(), focus);
    if (!title.empty()) return title;
    Window rootOut = 0;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display.get(), focus, &rootOut, &parent, &children, &count)) break;
    if (children) XFree(children);
    focus = parent;
  }
  return {};
}

// The user's hands are those of the program's tests (XTEST).
void ClickScreen(Point screen) { test::XInput(DisplayName()).Click(screen.x, screen.y); }

void PressKey(const std::string& keysym) { test::XInput(DisplayName()).Key(keysym); }

void FocusScreenWindow(const std::string& title) {
  const std::optional<OnDisplay> t = OpenTitled(title);
  if (!t || !t->found.viewable) return;
  XSetInputFocus(t->display.get(), t->found.window, RevertToParent, CurrentTime);
  XSync(t->display.get(), False);
}

void CloseScreenWindow(const std::string& title) {
  const std::optional<OnDisplay> t = OpenTitled(title);
  if (!t) return;
  test::XTopWindow window;
  window.id = t->found.window;
  test::XWindows(DisplayName()).Close(window);
}

std::optional<ScreenPixels> GrabScreen(const Rect& area) {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display || area.cx <= 0 || area.cy <= 0) return std::nullopt;
  XImage* image = XGetImage(display.get(), DefaultRootWindow(display.get()), area.x, area.y,
                            static_cast<unsigned>(area.cx), static_cast<unsigned>(area.cy),
                            AllPlanes, ZPixmap);
  if (!image) return std::nullopt;
  ScreenPixels pixels;
  pixels.width = area.cx;
  pixels.height = area.cy;
  pixels.rgb.reserve(static_cast<std::size_t>(area.cx) * area.cy * 3);
  for (int y = 0; y < area.cy; ++y) {
    for (int x = 0; x < area.cx; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      // A true-colour screen (Xvfb's is 24 bits): the masks place the channels.
      for (unsigned long mask : {image->red_mask, image->green_mask, image->blue_mask}) {
        unsigned long v = p & mask;
        unsigned long m = mask;
        while (m && !(m & 1)) {
          m >>= 1;
          v >>= 1;
        }
        pixels.rgb.push_back(static_cast<std::uint8_t>(m ? v * 255 / m : 0));
      }
    }
  }
  XDestroyImage(image);
  return pixels;
}

std::optional<ScreenCursor> CursorAt(Point screen) {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) return std::nullopt;
  int event = 0;
  int error = 0;
  if (!XFixesQueryExtension(display.get(), &event, &error)) return std::nullopt;
  XWarpPointer(display.get(), None, DefaultRootWindow(display.get()), 0, 0, 0, 0, screen.x,
               screen.y);
  XSync(display.get(), False);
  XFixesCursorImage* image = XFixesGetCursorImage(display.get());
  if (!image) return std::nullopt;
  ScreenCursor cursor{image->width, image->height, {}};
  cursor.argb.assign(image->pixels,
                     image->pixels + static_cast<std::size_t>(image->width) * image->height);
  XFree(image);
  return cursor;
}

}  // namespace tallow::ui::testing
