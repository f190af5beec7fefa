// A display for the tests: the one in DISPLAY, else a private Xvfb server;
// or a private one with the test window manager on it.
#pragma once

namespace tallow::ui::testing {

// True when a display can be used: DISPLAY was set, or Xvfb was found and
// started on a free display number, which DISPLAY then names. With
// |windowManager|, always a private server with a window manager (openbox)
// managing it, so that a desktop's own is never touched; false when either
// does not come up.
bool EnsureDisplay(bool windowManager = false);
// Stops the server EnsureDisplay started, and its window manager, if any.
void StopXvfb();

}  // namespace tallow::ui::testing
