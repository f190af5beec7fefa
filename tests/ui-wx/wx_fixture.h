// The wxWidgets back end on a real (or virtual) display, for the tests of
// this folder: one back end and its test driver for the whole run, and the
// screenshots' folder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/wx/testing/wx_driver.h"
#include "platform/ui/wx/wx_backend.h"
#include "support/temp_dir.h"

namespace tallow::ui::testing {

// What a dialog that the keys did not end is ended with, so that the test goes on.
inline constexpr int kNotEnded = 3;

// The position of control |id| in the dialog's template.
inline std::size_t IndexOf(const CDialog& d, int id) {
  const auto& controls = d.Controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i]->GetDlgCtrlID() == id) return i;
  }
  ADD_FAILURE() << "no control " << id;
  return controls.size();
}

// Waits, handling the window system's events, until |done| holds or
// |limit| has passed; whether |done| came.
inline bool PumpUntil(WxDriver& wx, const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    wx.Pump(std::chrono::milliseconds(20));
  }
  return true;
}

class WxDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();

 public:
  // At the end of the run.
  static void EndBackend();

 protected:
  void SetUp() override {
    if (!backend_) GTEST_SKIP() << "no display and no Xvfb (or no window manager on it)";
  }
  void TearDown() override {
    if (wx_) wx_->OnDialogShown(nullptr);
  }

  // A file in <build>/screenshots/, any older one of the name gone.
  static std::filesystem::path ShotPath(const std::string& name) {
    const std::filesystem::path dir = TALLOWMERE_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir / name);
    return dir / name;
  }
  // A picture the test only reads back.
  std::filesystem::path TempShotPath() const { return scratch_.File("shot.png"); }

  test::TempDir scratch_;

  static WxBackend* backend_;
  static WxDriver* wx_;
};

// Keys typed, a moment from now, into whatever has the keyboard then: the
// popup menu, file chooser or message box that the call under test opened.
// There is no telling when the native window is up, so the keys go again
// every so often until the call returns (and this object goes): keys that
// come too early reach the window under it, where Enter and Esc do no harm
// to the test.
class KeysLater {
 public:
  explicit KeysLater(std::vector<int> keys);
  ~KeysLater();
  KeysLater(const KeysLater&) = delete;
  KeysLater& operator=(const KeysLater&) = delete;

 private:
  struct Timer;
  std::unique_ptr<Timer> timer_;
};

}  // namespace tallow::ui::testing
