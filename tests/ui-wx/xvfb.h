// A display for the tests: the one in DISPLAY, else a private Xvfb server.
#pragma once

namespace tallow::ui::testing {

// True when a display can be used: DISPLAY was set, or Xvfb was found and
// started on a free display number, which DISPLAY then names.
bool EnsureDisplay();
// Stops the server EnsureDisplay started, if any.
void StopXvfb();

}  // namespace tallow::ui::testing
