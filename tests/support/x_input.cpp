#include "support/x_input.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "support/x_windows.h"

extern char** environ;

namespace tallow::test {
namespace {

// Time for the toolkit to see one event before the next: a click right
// after a move can land before GTK knows which widget is under the pointer.
void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(40)); }

}  // namespace

int XScreenImage::Luminance(int x, int y) const {
  const std::uint32_t p = At(x, y);
  const int r = (p >> 16) & 0xff;
  const int g = (p >> 8) & 0xff;
  const int b = p & 0xff;
  return (299 * r + 587 * g + 114 * b) / 1000;
}

struct XInput::Impl {
  ::Display* display = nullptr;

  void Press(KeyCode code, bool down) {
    XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
    XSync(display, False);
  }

  KeyCode CodeOf(const std::string& name) {
    std::string symbol = name;
    if (name == "ctrl") symbol = "Control_L";
    if (name == "shift") symbol = "Shift_L";
    if (name == "alt") symbol = "Alt_L";
    const KeySym sym = XStringToKeysym(symbol.c_str());
    return sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
  }
};

XInput::XInput(const std::string& display) : impl_(std::make_unique<Impl>()) {
  impl_->display = OpenTestDisplay(display);
  int event = 0, error = 0, major = 0, minor = 0;
  if (impl_->display && !XTestQueryExtension(impl_->display, &event, &error, &major, &minor)) {
    XCloseDisplay(impl_->display);
    impl_->display = nullptr;
  }
}

XInput::~XInput() {
  if (impl_->display) XCloseDisplay(impl_->display);
}

bool XInput::ok() const { return impl_->display != nullptr; }

void XInput::Click(int x, int y) {
  if (!ok()) return;
  XTestFakeMotionEvent(impl_->display, -1, x, y, CurrentTime);
  XSync(impl_->display, False);
  Pause();
  XTestFakeButtonEvent(impl_->display, 1, True, CurrentTime);
  XSync(impl_->display, False);
  Pause();
  XTestFakeButtonEvent(impl_->display, 1, False, CurrentTime);
  XSync(impl_->display, False);
  Pause();
}

void XInput::Key(const std::string& chord) {
  if (!ok()) return;
  std::vector<KeyCode> codes;
  for (std::size_t at = 0; at <= chord.size();) {
    std::size_t plus = chord.find('+', at + 1);
    if (plus == std::string::npos) plus = chord.size();
    if (const KeyCode code = impl_->CodeOf(chord.substr(at, plus - at))) codes.push_back(code);
    at = plus + 1;
  }
  for (KeyCode code : codes) impl_->Press(code, true);
  for (auto it = codes.rbegin(); it != codes.rend(); ++it) impl_->Press(*it, false);
  Pause();
}

void XInput::Type(const std::string& text) {
  if (!ok()) return;
  const KeyCode shift = impl_->CodeOf("shift");
  for (const char c : text) {
    // Printable ASCII key symbols are the characters' own codes.
    const KeySym sym = static_cast<unsigned char>(c);
    const KeyCode code = XKeysymToKeycode(impl_->display, sym);
    if (!code) continue;
    const bool shifted = XkbKeycodeToKeysym(impl_->display, code, 0, 0) != sym;
    if (shifted) impl_->Press(shift, true);
    impl_->Press(code, true);
    impl_->Press(code, false);
    if (shifted) impl_->Press(shift, false);
  }
  Pause();
}

std::optional<XRect> XInput::Geometry(unsigned long window) {
  if (!ok()) return std::nullopt;
  XWindowAttributes a;
  Window child = 0;
  int x = 0, y = 0;
  if (!XGetWindowAttributes(impl_->display, window, &a) ||
      !XTranslateCoordinates(impl_->display, window, DefaultRootWindow(impl_->display), 0, 0, &x,
                             &y, &child)) {
    return std::nullopt;
  }
  return XRect{x, y, a.width, a.height};
}

std::optional<XScreenImage> XInput::Grab() {
  if (!ok()) return std::nullopt;
  const Window root = DefaultRootWindow(impl_->display);
  XWindowAttributes a;
  if (!XGetWindowAttributes(impl_->display, root, &a)) return std::nullopt;
  XImage* image = XGetImage(impl_->display, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!image) return std::nullopt;
  XScreenImage out{a.width, a.height, {}};
  out.pixels.resize(static_cast<std::size_t>(a.width) * a.height);
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      out.pixels[static_cast<std::size_t>(y) * a.width + x] =
          static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xffffff);
    }
  }
  XDestroyImage(image);
  return out;
}

bool SaveScreenshot(const std::string& display, const std::string& path) {
  std::string d = display;
  std::string file = path;
  char tool[] = "import";
  char displayFlag[] = "-display";
  char window[] = "-window";
  char root[] = "root";
  char* argv[] = {tool, displayFlag, d.data(), window, root, file.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "import", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace tallow::test
