// The windows an X server shows, asked over a connection of the test's own:
// the top-level windows of a process with their titles, and their close box,
// as a user (or the window manager) works it. For tests that drive a
// program from outside; links Xlib (library tallow_test_x11).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace tallow::test {

// Opens a connection to |display| (":N") whose requests about a window that
// has gone in the meantime fail instead of ending the test: the programs
// under test make and destroy windows while the test looks at them, and
// Xlib's default handler ends the process at the first such error.
_XDisplay* OpenTestDisplay(const std::string& display);

// The window's title as GTK sets it (UTF-8), else its plain name; empty
// without either.
std::string XWindowTitle(_XDisplay* display, unsigned long window);

struct XTopWindow {
  unsigned long id = 0;
  std::string title;  // UTF-8
  pid_t pid = 0;      // of the process that made it (_NET_WM_PID)
  bool viewable = false;
};

class XWindows {
 public:
  // Connects to |display| (":N"); ok() is false when that fails.
  explicit XWindows(const std::string& display);
  ~XWindows();
  XWindows(const XWindows&) = delete;
  XWindows& operator=(const XWindows&) = delete;

  bool ok() const;

  // The viewable top-level windows that |pid| made, also below a window
  // manager's frames.
  std::vector<XTopWindow> WindowsOf(pid_t pid);
  // Asks again until a viewable window of |pid| passes |match| or |timeout|
  // has passed.
  std::optional<XTopWindow> WaitForWindow(pid_t pid,
                                          const std::function<bool(const XTopWindow&)>& match,
                                          std::chrono::milliseconds timeout);
  // The window's close box: WM_DELETE_WINDOW, as a window manager sends it.
  void Close(const XTopWindow& window);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tallow::test
