// The built program started from a copy of its folder on a private X server
// of the test's own, as a user starts it: the real entry on the real
// windows. The windows are found by their process and title and closed by
// their close box, as the user would.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "support/program_copy.h"
#include "support/x_windows.h"
#include "support/xvfb_server.h"

namespace tallow::test {
namespace {

using std::chrono::seconds;

constexpr seconds kWindowTimeout{30};
constexpr seconds kExitTimeout{30};

bool IsSelectMfp(const XTopWindow& w) { return w.title == "Select MFP"; }

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
    const auto dialog = x_->WaitForWindow(program->Pid(), IsSelectMfp, kWindowTimeout);
    EXPECT_TRUE(dialog) << program->Stderr();
    return program;
  }

  // Closes the program's selection dialog: it ends, with nothing saved.
  void CloseSelection(ProgramProcess& program) {
    const auto dialog = x_->WaitForWindow(program.Pid(), IsSelectMfp, seconds(1));
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
  EXPECT_TRUE(x_->WindowsOf(second.Pid()).size() == 1u);  // no dialog of its own
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
