// The main window's tests on the screen: a program folder of their own, the
// XML and HTTP library, and a simulated MFP on loopback whose boxes are
// listed as the MFP selection lists them before the window opens.
#pragma once

#include <memory>

#include "core/settings.h"
#include "support/kivor_loader.h"
#include "support/program_folder.h"
#include "support/sim_process.h"
#include "tests/ui-wx/wx_fixture.h"

namespace tallow::ui::testing {

class WxMainWindowFixture : public WxDialogTest {
 protected:
  // Starts the simulator with |store| and writes |settings|, with the folder
  // "out" of the program folder, and the simulator's address into the
  // settings file. Call from SetUp after WxDialogTest::SetUp.
  void StartDevice(const char* store, SettingInfo settings);
  void TearDown() override;

  test::ScratchProgramFolder program_{"kivor.so"};
  test::KivorLibrary kivor_;
  std::unique_ptr<test::SimProcess> sim_;
};

}  // namespace tallow::ui::testing
