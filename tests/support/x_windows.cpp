#include "support/x_windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <thread>

namespace tallow::test {

namespace {

int ReportXError(::Display* display, XErrorEvent* error) {
  // A window that vanished between two requests: the request's own result
  // says so to its caller.
  if (error->error_code == BadWindow || error->error_code == BadDrawable) return 0;
  char text[256] = {};
  XGetErrorText(display, error->error_code, text, sizeof text);
  std::fprintf(stderr, "X error: %s (request %d)\n", text, error->request_code);
  return 0;
}

}  // namespace

::Display* OpenTestDisplay(const std::string& display) {
  // Process-wide; this test library's connections are the only ones that
  // tests using it open.
  XSetErrorHandler(&ReportXError);
  return XOpenDisplay(display.c_str());
}

std::string XWindowTitle(::Display* display, unsigned long window) {
  // GTK sets the UTF-8 title; the old property may lack names outside
  // Latin-1.
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024,
                         False, utf8, &type, &format, &count, &after, &data) == Success &&
      data) {
    if (type == utf8 && format == 8) title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  if (title.empty()) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
      title = name;
      XFree(name);
    }
  }
  return title;
}

struct XWindows::Impl {
  ::Display* display = nullptr;

  Atom AtomOf(const char* name) const { return XInternAtom(display, name, False); }

  // One item of a 32-bit property, if the window has it.
  std::optional<unsigned long> Cardinal(Window window, Atom property) const {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::optional<unsigned long> value;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
      if (format == 32 && count == 1) value = *reinterpret_cast<unsigned long*>(data);
      XFree(data);
    }
    return value;
  }

  std::string Title(Window window) const { return XWindowTitle(display, window); }

  // The client windows below |window|: those that carry a process id. A
  // frame of a window manager holds its client a level or two down.
  void Collect(Window window, int depth, std::vector<XTopWindow>& out) const {
    if (depth > 3) return;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return;
    const Atom pidAtom = AtomOf("_NET_WM_PID");
    for (unsigned int i = 0; i < count; ++i) {
      if (const auto pid = Cardinal(children[i], pidAtom)) {
        XWindowAttributes a;
        const bool viewable =
            XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable;
        out.push_back(XTopWindow{children[i], Title(children[i]), static_cast<pid_t>(*pid),
                                 viewable});
      } else {
        Collect(children[i], depth + 1, out);
      }
    }
    if (children) XFree(children);
  }
};

XWindows::XWindows(const std::string& display) : impl_(std::make_unique<Impl>()) {
  impl_->display = OpenTestDisplay(display);
}

XWindows::~XWindows() {
  if (impl_->display) XCloseDisplay(impl_->display);
}

bool XWindows::ok() const { return impl_->display != nullptr; }

std::vector<XTopWindow> XWindows::WindowsOf(pid_t pid) {
  std::vector<XTopWindow> all;
  std::vector<XTopWindow> found;
  if (!ok()) return found;
  impl_->Collect(DefaultRootWindow(impl_->display), 0, all);
  for (XTopWindow& w : all) {
    if (w.pid == pid && w.viewable) found.push_back(std::move(w));
  }
  return found;
}

std::optional<XTopWindow> XWindows::WaitForWindow(
    pid_t pid, const std::function<bool(const XTopWindow&)>& match,
    std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    for (const XTopWindow& w : WindowsOf(pid)) {
      if (match(w)) return w;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

void XWindows::Close(const XTopWindow& window) {
  if (!ok()) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window.id;
  event.xclient.message_type = impl_->AtomOf("WM_PROTOCOLS");
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(impl_->AtomOf("WM_DELETE_WINDOW"));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(impl_->display, window.id, False, NoEventMask, &event);
  XFlush(impl_->display);
}

}  // namespace tallow::test
