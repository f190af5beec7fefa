#include "tests/ui-wx/xvfb.h"

#include <cstdlib>
#include <memory>

#include "support/window_manager.h"
#include "support/xvfb_server.h"

namespace tallow::ui::testing {

namespace {

std::unique_ptr<test::XvfbServer> g_server;
std::unique_ptr<test::WindowManager> g_windowManager;

}  // namespace

bool EnsureDisplay(bool windowManager) {
  if (const char* display = std::getenv("DISPLAY"); !windowManager && display && *display) return true;
  g_server = std::make_unique<test::XvfbServer>();
  if (!g_server->ok()) {
    g_server.reset();
    return false;
  }
  if (windowManager) {
    g_windowManager = std::make_unique<test::WindowManager>(g_server->Display());
    if (!g_windowManager->ok()) {
      StopXvfb();
      return false;
    }
  }
  setenv("DISPLAY", g_server->Display().c_str(), 1);
  return true;
}

void StopXvfb() {
  g_windowManager.reset();
  g_server.reset();
}

}  // namespace tallow::ui::testing
