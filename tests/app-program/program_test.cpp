// The built program started from a copy of its folder on a private X server
// of the test's own, as a user starts it: the real entry on the real
// windows. The windows are found by their process and title and closed by
// their close box, as the user would.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "support/program_copy.h"
#include "support/sim_process.h"
#include "support/x_windows.h"
#include "support/xvfb_server.h"

namespace tallow::test {
namespace {

using std::chrono::seconds;

constexpr seconds kWindowTimeout{30};
constexpr seconds kExitTimeout{30};

// A window's title: the caption of its template.
std::function<bool(const XTopWindow&)> Titled(std::string title) {
  return [title = std::move(title)](const XTopWindow& w) { return w.title == title; };
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!xvfb_.ok()) GTEST_SKIP() << "no Xvfb";
    x_ = std::make_unique<XWindows>(xvfb_.Display());
    ASSERT_TRUE(x_->ok());
  }

  // Starts the program and waits for its MFP selection dialog, the first
  // window of a start without settings.
  std::unique_ptr<ProgramProcess> StartToSelection() {
    auto program = std::make_unique<ProgramProcess>(copy_, xvfb_.Display());
    const auto dialog = x_->WaitForWindow(program->Pid(), Titled("Select MFP"), kWindowTimeout);
    EXPECT_TRUE(dialog) << program->Stderr();
    return program;
  }

  // Closes the program's selection dialog: it ends, with nothing saved.
  void CloseSelection(ProgramProcess& program) {
    const auto dialog = x_->WaitForWindow(program.Pid(), Titled("Select MFP"), seconds(1));
    ASSERT_TRUE(dialog);
    x_->Close(*dialog);
    EXPECT_EQ(program.WaitForExit(kExitTimeout), 0) << program.Stderr();
    EXPECT_FALSE(copy_.Exists("program/setting/tallowmere.ini"));
  }

  XvfbServer xvfb_;
  ProgramCopy copy_;
  std::unique_ptr<XWindows> x_;
};

// A second start shows its box, without caption, and ends when it is
// closed; the first instance goes on with its dialog.
TEST_F(ProgramTest, SecondInstanceSaysSoAndLeavesTheFirstAlone) {
  auto first = StartToSelection();
  ProgramProcess second(copy_, xvfb_.Display());
  const auto box =
      x_->WaitForWindow(second.Pid(), [](const XTopWindow&) { return true; }, kWindowTimeout);
  ASSERT_TRUE(box) << second.Stderr();
  EXPECT_EQ(box->title, "");
  EXPECT_EQ(x_->WindowsOf(second.Pid()).size(), 1u);  // no dialog of its own
  x_->Close(*box);
  EXPECT_EQ(second.WaitForExit(kExitTimeout), 0) << second.Stderr();

  EXPECT_FALSE(first->WaitForExit(std::chrono::milliseconds(0)));
  CloseSelection(*first);
}

// The lock dies with its holder: after a crash the next start runs.
TEST_F(ProgramTest, CrashedInstanceLeavesNoLockBehind) {
  auto crashed = StartToSelection();
  crashed->Kill();
  auto next = StartToSelection();
  CloseSelection(*next);
}

// Told not to show the selection at start, the program connects behind its
// start-up window (the MFP takes a moment to answer here) and then opens
// the main window in its place; closing that writes the settings.
TEST_F(ProgramTest, HiddenSelectionShowsTheStartupWindowThenTheMainWindow) {
  SimOptions options;
  options.faults = {"list-boxes stall 1500"};
  SimProcess sim(options);
  copy_.Write("program/setting/tallowmere.ini",
              "[MFPInfo]\nmachineName=Sim MFP\nIPv4Address=127.0.0.1\nhttpPortNumber=" +
                  std::to_string(sim.Port()) + "\nisNotShowDlg=1\n");
  ProgramProcess program(copy_, xvfb_.Display(),
                         {{"TALLOWMERE_USB_REGISTRY", sim.UsbRegistry()}});
  ASSERT_TRUE(x_->WaitForWindow(program.Pid(), Titled("Progress"), kWindowTimeout))
      << program.Stderr();
  const auto main = x_->WaitForWindow(program.Pid(), Titled("Tallowmere"), kWindowTimeout);
  ASSERT_TRUE(main) << program.Stderr();
  for (const XTopWindow& w : x_->WindowsOf(program.Pid())) {
    EXPECT_EQ(w.title, "Tallowmere");  // neither the start-up window nor the selection
  }
  x_->Close(*main);
  EXPECT_EQ(program.WaitForExit(kExitTimeout), 0) << program.Stderr();
  EXPECT_NE(copy_.Read("program/setting/tallowmere.ini").find("isNotShowDlg=1"),
            std::string::npos);
  EXPECT_TRUE(copy_.Exists("program/work/save"));
}

// Without a display there is nowhere to show a message: it says so on its
// standard error and fails.
TEST(ProgramWithoutDisplay, SaysSoAndFails) {
  ProgramCopy copy;
  ProgramProcess program(copy, "");
  const auto code = program.WaitForExit(kExitTimeout);
  ASSERT_TRUE(code);
  EXPECT_NE(*code, 0);
  EXPECT_NE(program.Stderr().find("display"), std::string::npos) << program.Stderr();
}

}  // namespace
}  // namespace tallow::test
