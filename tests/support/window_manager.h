// A window manager on a test's X server: openbox, with a scratch home so
// that no user's settings reach it, ended with the object (and with the
// test process, should that die). With it, focus, activation, decorations
// and minimising behave as on a desktop. Links Xlib (library tallow_test_x11).
#pragma once

#include <sys/types.h>

#include <string>

namespace tallow::test {

class WindowManager {
 public:
  // Starts it on |display| (":N") and waits (at most about 15 s) until it
  // manages the screen; ok() is false when openbox is missing or does not.
  explicit WindowManager(const std::string& display);
  ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  bool ok() const { return ok_; }

 private:
  void Stop();

  pid_t pid_ = -1;
  bool ok_ = false;
  std::string home_;
};

}  // namespace tallow::test
