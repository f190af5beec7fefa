#include "tests/ui-wx/wx_fixture.h"

#include <cstdlib>
#include <utility>

#include "res/resources.h"
#include "tests/ui-wx/xvfb.h"

// After the project's headers: wx defines TRUE and FALSE as macros.
#include <wx/timer.h>
#include <wx/uiaction.h>

namespace tallow::ui::testing {

WxBackend* WxDialogTest::backend_ = nullptr;
WxDriver* WxDialogTest::wx_ = nullptr;

#ifndef TALLOWMERE_WX_WINDOW_MANAGER
#define TALLOWMERE_WX_WINDOW_MANAGER 0
#endif

// One back end for the whole run, shared by every suite of this folder: wx
// started a second time in one process paints with what the first left.
// The test program built with a window manager runs under one of its own.
void WxDialogTest::SetUpTestSuite() {
  static bool tried = false;
  if (tried) return;
  tried = true;
  if (!EnsureDisplay(TALLOWMERE_WX_WINDOW_MANAGER != 0)) return;
  // GTK's file chooser keeps its settings in memory, not in the user's.
  setenv("GSETTINGS_BACKEND", "memory", 0);
  backend_ = new WxBackend();
  if (!backend_->Ok()) {
    delete backend_;
    backend_ = nullptr;
    return;
  }
  wx_ = new WxDriver(*backend_);
  // A broken loop fails its test instead of hanging the run.
  wx_->SetModalTimeout(std::chrono::seconds(20));
}

void WxDialogTest::EndBackend() {
  delete wx_;
  wx_ = nullptr;
  delete backend_;
  backend_ = nullptr;
}

struct KeysLater::Timer : wxTimer {};

KeysLater::KeysLater(std::vector<int> keys) : timer_(std::make_unique<Timer>()) {
  timer_->Bind(wxEVT_TIMER, [keys = std::move(keys)](wxTimerEvent&) {
    wxUIActionSimulator user;
    for (int key : keys) user.Char(key);
  });
  timer_->Start(1500);
}

KeysLater::~KeysLater() = default;

}  // namespace tallow::ui::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tallow::res::RegisterProgramResources();
  const int result = RUN_ALL_TESTS();
  tallow::ui::testing::WxDialogTest::EndBackend();
  tallow::ui::testing::StopXvfb();
  return result;
}
