#include "tests/ui-wx/wx_main_window_fixture.h"

#include <filesystem>

#include "core/texts.h"
#include "device/channel_layer.h"
#include "device/net_channel.h"
#include "platform/app_profile.h"

namespace tallow::ui::testing {

void WxMainWindowFixture::StartDevice(const char* store, SettingInfo settings) {
  LoadMessageTable(MessageTable());
  LoadMessageTable(ProgressTextTable());
  LoadMessageTable(LabelTable());
  ASSERT_TRUE(kivor_.ok());
  test::SimOptions options;
  options.config = store;
  sim_ = std::make_unique<test::SimProcess>(options);
  SetAppProfilePath(program_.Wide("setting/tallowmere.ini"));
  settings.folderPath = program_.Wide("out");
  SetSettingInfo(settings);
  SetPasswordInfo({});
  MFPInfo mfp;
  mfp.IPv4Address = u"127.0.0.1";
  mfp.httpPortNumber = sim_->Port();
  SetMFPInfo(mfp);
  std::filesystem::create_directories(program_.File("out"));
  // As the MFP selection does before the window opens.
  WStringList names;
  ASSERT_EQ(RefreshFolderList(mfp, names), 1);
}

void WxMainWindowFixture::TearDown() {
  sim_.reset();
  SetAppProfilePath({});
  NetBoxTables() = BoxTables{};
  WxDialogTest::TearDown();
}

}  // namespace tallow::ui::testing
