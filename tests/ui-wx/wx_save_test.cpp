// A save on the screen against the simulated MFP: the Simple view filled
// by its own code, and the progress dialog while the save's worker is in
// the conversion, then showing the completion that the user confirms. The
// PDF library is a stand-in that holds the worker inside the conversion
// until the test has looked.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "app/main_window/main_dlg.h"
#include "core/settings.h"
#include "platform/library.h"
#include "res/resource_ids.h"
#include "support/temp_dir.h"
#include "tests/ui-wx/wx_main_window_fixture.h"
#include "tests/ui-wx/x_screen.h"

// After the project's headers: wx defines TRUE and FALSE as macros.
#include <wx/image.h>

namespace tallow::ui::testing {
namespace {

using namespace std::chrono_literals;
using app::CMainDlg;

constexpr const char* kStore = R"(<mfp name="Sim">
  <box id="1" name="Scans">
    <doc id="A1" name="Receipt 0417" timestamp="2026/12/01 17:45:00" pages="1" color="0"
         width="400" height="560" dpi="100"/>
    <doc id="A2" name="Contract" timestamp="2026/12/09 08:46:40" pages="3" color="1"
         width="300" height="420" dpi="100"/>
  </box>
</mfp>)";

// How long the test waits for a step of the save on the screen.
constexpr auto kStepWait = 10s;

// The worker in the conversion, until the test lets it go on.
struct Held {
  std::atomic<bool> inside{false};
  std::atomic<bool> release{false};
};

void HoldConversion(void* context) {
  auto* held = static_cast<Held*>(context);
  held->inside = true;
  while (!held->release) std::this_thread::sleep_for(10ms);
}

class WxSaveTest : public WxMainWindowFixture {
 protected:
  void SetUp() override {
    WxMainWindowFixture::SetUp();
    if (IsSkipped()) return;
    ASSERT_EQ(::symlink(HOOKED_CODEC_PATH, program_.File("pdfdumel.so").c_str()), 0);
    codec_ = LoadLibraryW(program_.Wide("pdfdumel.so").c_str());
    ASSERT_NE(codec_, nullptr);
    setHook_ = reinterpret_cast<SetHook>(GetProcAddress(codec_, "HookedCodecSetHook"));
    ASSERT_NE(setHook_, nullptr);
    SettingInfo settings;
    settings.machineName = u"Front desk";
    settings.SimpleMode = 1;
    settings.DeleteFile = 0;
    StartDevice(kStore, settings);
  }
  void TearDown() override {
    if (setHook_) setHook_(nullptr, nullptr);
    if (codec_) FreeLibrary(codec_);
    WxMainWindowFixture::TearDown();
  }

  // What the screen shows of the window titled |title|, saved as
  // <build>/screenshots/|name|.
  void Shoot(const std::string& title, const std::string& name) {
    wx_->Pump(300ms);
    const std::optional<ScreenWindow> w = FindScreenWindow(title);
    ASSERT_TRUE(w && w->viewable) << title;
    const std::optional<ScreenPixels> pixels = GrabScreen(w->rect);
    ASSERT_TRUE(pixels);
    wxImage image(pixels->width, pixels->height);
    std::copy(pixels->rgb.begin(), pixels->rgb.end(), image.GetData());
    EXPECT_TRUE(image.SaveFile(ShotPath(name).string(), wxBITMAP_TYPE_PNG));
  }

  std::string Shown(const CDialog& d, int id) { return wx_->ViewControl(d, IndexOf(d, id))->text; }

  using SetHook = void (*)(void (*)(void*), void*);
  HMODULE codec_ = nullptr;
  SetHook setHook_ = nullptr;
};

TEST_F(WxSaveTest, SimpleViewSavesWithTheProgressOnTheScreen) {
  Held held;
  setHook_(&HoldConversion, &held);
  CMainDlg main;
  bool progressShown = false;
  wx_->OnDialogShown([&](CDialog& shown) {
    if (&shown == &main.m_progressDlg) {
      progressShown = true;
      CDialog& p = shown;
      // Every page downloaded, the writer converting: the bar at 90.
      ASSERT_TRUE(PumpUntil(*wx_, [&] { return held.inside.load(); }, kStepWait));
      ASSERT_TRUE(PumpUntil(*wx_, [&] {
        return wx_->ViewControl(p, IndexOf(p, res::IDC_PROGRESS_BAR))->value == 90;
      }, kStepWait));
      EXPECT_EQ(Shown(p, res::IDC_PROGRESS_STATUS), "Now Saving Document(s)");
      EXPECT_TRUE(wx_->ViewControl(p, IndexOf(p, res::IDC_PROGRESS_CANCEL))->enabled);
      EXPECT_FALSE(wx_->ViewControl(p, IndexOf(p, res::IDC_PROGRESS_OK))->enabled);
      Shoot("Progress", "progress-saving.png");
      held.release = true;
      ASSERT_TRUE(PumpUntil(*wx_, [&] {
        return wx_->ViewControl(p, IndexOf(p, res::IDC_PROGRESS_OK))->enabled;
      }, kStepWait));
      EXPECT_EQ(Shown(p, res::IDC_PROGRESS_STATUS), "Saved successfully");
      EXPECT_EQ(wx_->ViewControl(p, IndexOf(p, res::IDC_PROGRESS_BAR))->value, 100);
      Shoot("Progress", "progress-saved.png");
      EXPECT_TRUE(wx_->Click(p, IndexOf(p, res::IDC_PROGRESS_OK)));
      return;
    }
    CMainDlg& d = main;
    EXPECT_EQ(d.m_nMode, app::kModeSimple);
    wx_->Pump(200ms);
    EXPECT_EQ(Shown(d, res::IDC_SIMPLE_DEVICE_NAME), "Front desk");
    EXPECT_EQ(Shown(d, res::IDC_SIMPLE_BOX_NAME), "Scans");
    EXPECT_EQ(Shown(d, res::IDC_SIMPLE_FILE_NUMBER), "Contract");
    EXPECT_EQ(Shown(d, res::IDC_SIMPLE_DATE_TIME), "2026/12/09 08:46:40");
    EXPECT_EQ(Shown(d, res::IDC_SIMPLE_PAGES), "3");
    EXPECT_EQ(Shown(d, res::IDC_SIMPLE_COLOR), "Color");
    EXPECT_EQ(Shown(d, res::IDC_SIMPLE_FORMAT), "PDF");
    EXPECT_EQ(Shown(d, res::IDC_SIMPLE_FOLDER), program_.File("out"));
    Shoot("Tallowmere", "simple-view.png");

    EXPECT_TRUE(wx_->Click(d, IndexOf(d, res::IDC_SIMPLE_SAVE)));
    EXPECT_TRUE(progressShown);
    // Saved: the next older document.
    wx_->Pump(200ms);
    EXPECT_EQ(Shown(d, res::IDC_SIMPLE_FILE_NUMBER), "Receipt 0417");
    EXPECT_EQ(Shown(d, res::IDC_SIMPLE_COLOR), "B/W");
    Shoot("Tallowmere", "simple-view-next.png");
    d.InputEscape();
  });
  EXPECT_EQ(main.DoModal(), IDCANCEL);
  EXPECT_EQ(test::FilesIn(program_.File("out")).size(), 1u);
}

}  // namespace
}  // namespace tallow::ui::testing
