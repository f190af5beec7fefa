#include "tests/ui-wx/xvfb.h"

#include <cstdlib>
#include <memory>

#include "support/xvfb_server.h"

namespace tallow::ui::testing {

namespace {

std::unique_ptr<test::XvfbServer> g_server;

}  // namespace

bool EnsureDisplay() {
  if (const char* display = std::getenv("DISPLAY"); display && *display) return true;
  g_server = std::make_unique<test::XvfbServer>();
  if (!g_server->ok()) {
    g_server.reset();
    return false;
  }
  setenv("DISPLAY", g_server->Display().c_str(), 1);
  return true;
}

void StopXvfb() { g_server.reset(); }

}  // namespace tallow::ui::testing
