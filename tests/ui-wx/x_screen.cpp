#include "tests/ui-wx/x_screen.h"

#include "support/x_windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <memory>

namespace tallow::ui::testing {

namespace {

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

}  // namespace

std::optional<ScreenWindow> FindScreenWindow(const std::string& title) {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) return std::nullopt;
  const Window root = DefaultRootWindow(display.get());
  Window rootOut = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display.get(), root, &rootOut, &parent, &children, &count)) return std::nullopt;
  std::optional<ScreenWindow> found;
  // From the top of the stacking order down, a viewable one first: a window
  // closed a moment ago may linger unmapped beside a new one of its title.
  for (unsigned int i = count; i-- > 0 && !(found && found->viewable);) {
    if (test::XWindowTitle(display.get(), children[i]) != title) continue;
    XWindowAttributes a;
    if (!XGetWindowAttributes(display.get(), children[i], &a)) continue;
    const ScreenWindow w{Rect{a.x, a.y, a.width, a.height}, a.map_state == IsViewable};
    if (!found || w.viewable) found = w;
  }
  if (children) XFree(children);
  return found;
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
