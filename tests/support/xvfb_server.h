// A private X server for tests: Xvfb on a display number it picks itself,
// ended with the object (and with the test process, should that die).
#pragma once

#include <sys/types.h>

#include <string>

namespace tallow::test {

class XvfbServer {
 public:
  // Starts the server and waits (at most about 15 s) until it takes
  // clients; ok() is false when Xvfb is missing or does not come up.
  XvfbServer();
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool ok() const { return pid_ > 0; }
  // ":N", for DISPLAY.
  const std::string& Display() const { return display_; }

 private:
  void Stop();

  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace tallow::test
