// The wxWidgets back end on a real (or virtual) display: the program's
// dialogs open from their templates with every control where the template
// puts it, a screenshot of each lands in the build folder, and posted calls
// from a worker are pumped by the wx event loop.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/ui/dialog.h"
#include "platform/ui/wx/wx_backend.h"
#include "res/dialog_templates.h"
#include "tests/ui-wx/xvfb.h"

namespace tallow::ui::testing {
namespace {

// Pixels may differ from the exact conversion by rounding only.
constexpr int kTolerance = 1;

int Scale(int dlu, int base, int per) {
  return static_cast<int>(std::lround(static_cast<double>(dlu) * base / per));
}

class WxDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!EnsureDisplay()) return;
    backend_ = new WxBackend();
    if (!backend_->Ok()) {
      delete backend_;
      backend_ = nullptr;
    }
    // A broken loop fails its test instead of hanging the run.
    if (backend_) backend_->SetModalTimeout(std::chrono::seconds(20));
  }
  static void TearDownTestSuite() {
    delete backend_;
    backend_ = nullptr;
  }
  void SetUp() override {
    if (!backend_) GTEST_SKIP() << "no display and no Xvfb";
  }
  void TearDown() override {
    if (backend_) backend_->OnDialogShown(nullptr);
  }

  static WxBackend* backend_;
};
WxBackend* WxDialogTest::backend_ = nullptr;

TEST_F(WxDialogTest, TemplatesOpenWithControlsInPlace) {
  const std::filesystem::path dir = TALLOWMERE_SCREENSHOT_DIR;
  std::filesystem::create_directories(dir);
  for (int id : {res::IDD_ABOUTBOX, res::IDD_PASSWORD, res::IDD_PROGRESS}) {
    SCOPED_TRACE(id);
    const DialogTemplate* t = FindDialogTemplate(id);
    ASSERT_NE(t, nullptr);
    const std::filesystem::path shot = dir / ("dialog-" + std::to_string(id) + ".png");
    std::filesystem::remove(shot);
    bool shown = false;
    backend_->OnDialogShown([&](CDialog& d) {
      shown = true;
      const auto units = backend_->DialogBaseUnits(d);
      ASSERT_TRUE(units);
      // A desktop font of a usual size, standing in for the template's.
      EXPECT_GE(units->x, 4);
      EXPECT_LE(units->x, 20);
      EXPECT_GE(units->y, 8);
      EXPECT_LE(units->y, 40);
      EXPECT_FALSE(backend_->FontFace(d).empty());
      EXPECT_NE(backend_->FontFace(d), "MS Shell Dlg");

      const auto client = backend_->ClientRect(d);
      ASSERT_TRUE(client);
      EXPECT_NEAR(client->cx, Scale(t->rect.cx, units->x, 4), kTolerance);
      EXPECT_NEAR(client->cy, Scale(t->rect.cy, units->y, 8), kTolerance);
      for (std::size_t i = 0; i < t->controls.size(); ++i) {
        SCOPED_TRACE(i);
        const Rect& dlu = t->controls[i].rect;
        const auto px = backend_->ControlRect(d, i);
        ASSERT_TRUE(px);
        EXPECT_NEAR(px->x, Scale(dlu.x, units->x, 4), kTolerance);
        EXPECT_NEAR(px->y, Scale(dlu.y, units->y, 8), kTolerance);
        EXPECT_NEAR(px->cx, Scale(dlu.cx, units->x, 4), kTolerance);
        EXPECT_NEAR(px->cy, Scale(dlu.cy, units->y, 8), kTolerance);
      }
      EXPECT_TRUE(backend_->SaveScreenshot(d, shot.string()));
      d.InputEscape();
    });
    CDialog dialog(id);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(std::filesystem::exists(shot));
    EXPECT_GT(std::filesystem::exists(shot) ? std::filesystem::file_size(shot) : 0u, 100u);
  }
}

// What the dialog code sets in the layer shows in the wx controls.
TEST_F(WxDialogTest, LayerChangesReachTheWindow) {
  // Progress template: 0 text, 1 bar, 2 OK, 3 Cancel.
  backend_->OnDialogShown([&](CDialog& d) {
    d.SetDlgItemText(5101, u"Saving page 2 of 3 \u00e9");
    d.GetDlgItem(5001)->SetRange32(0, 200);
    d.GetDlgItem(5001)->SetPos(50);
    d.GetDlgItem(5201)->EnableWindow(false);
    d.GetDlgItem(5202)->ShowWindow(SW_HIDE);
    const auto text = backend_->ViewControl(d, 0);
    const auto bar = backend_->ViewControl(d, 1);
    const auto ok = backend_->ViewControl(d, 2);
    const auto cancel = backend_->ViewControl(d, 3);
    ASSERT_TRUE(text && bar && ok && cancel);
    EXPECT_EQ(text->text, "Saving page 2 of 3 \xc3\xa9");  // UTF-8 of the wide text
    EXPECT_EQ(bar->range, 200);
    EXPECT_EQ(bar->value, 50);
    EXPECT_FALSE(ok->enabled);
    EXPECT_TRUE(ok->shown);
    EXPECT_FALSE(cancel->shown);
    d.InputEscape();
  });
  CDialog dialog(res::IDD_PROGRESS);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// What the user does in the wx controls reaches the layer.
TEST_F(WxDialogTest, UserInputReachesTheLayer) {
  // Password template: 1 edit, 3 check box.
  backend_->OnDialogShown([&](CDialog& d) {
    ASSERT_TRUE(backend_->TypeInto(d, 1, "1234"));
    EXPECT_EQ(d.GetDlgItemText(6001), u"1234");
    ASSERT_TRUE(backend_->Click(d, 3));
    EXPECT_EQ(d.GetDlgItem(6101)->GetCheck(), BST_CHECKED);
    EXPECT_TRUE(backend_->ViewControl(d, 3)->checked);
    d.InputEscape();
  });
  CDialog password(res::IDD_PASSWORD);
  EXPECT_EQ(password.DoModal(), IDCANCEL);

  // About template: 7 is its OK button, which ends the dialog.
  backend_->OnDialogShown([&](CDialog& d) { ASSERT_TRUE(backend_->Click(d, 7)); });
  CDialog about(res::IDD_ABOUTBOX);
  EXPECT_EQ(about.DoModal(), IDOK);
}

// A worker's sent call and posted close reach the dialog through the wx
// loop; the close box path ends the dialog with IDCANCEL.
TEST_F(WxDialogTest, WorkerCallsArePumpedByTheEventLoop) {
  std::unique_ptr<std::thread> worker;
  backend_->OnDialogShown([&](CDialog& d) {
    worker = std::make_unique<std::thread>([&d] {
      d.SetDlgItemText(5101, u"Saving page 1");  // waits for the UI thread
      d.PostMessageW(WM_CLOSE);
    });
  });
  CDialog dialog(res::IDD_PROGRESS);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  ASSERT_TRUE(worker);
  // Whatever the worker still waits for runs now, so that joining cannot block.
  backend_->Pump(std::chrono::milliseconds(100));
  worker->join();
}

}  // namespace
}  // namespace tallow::ui::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  tallow::ui::testing::StopXvfb();
  return result;
}
