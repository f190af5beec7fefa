// The MFP selection dialog against the simulator on loopback. The XML and
// HTTP library's connections all go to the simulator, whatever host and port
// the dialog asked for (both are kept), so that typed addresses never leave
// the machine; network discovery is a test double at its binding unless a
// test loads the real library; the still-image stand-in is loaded only by
// the tests that want USB devices listed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/dialogs/select_mfp_dlg.h"
#include "app_fixture.h"
#include "contracts/discovery_api.h"
#include "contracts/xml_http_api.h"
#include "support/kivor_loader.h"
#include "support/sti_loader.h"
#include "support/program_folder.h"
#include "support/scoped_env.h"
#include "support/sim_process.h"

namespace tallow::app::testing {

// The kivor table with its connection entries sent to the simulator.
class RedirectedKivor {
 public:
  explicit RedirectedKivor(std::uint16_t simPort);
  ~RedirectedKivor();
  RedirectedKivor(const RedirectedKivor&) = delete;
  RedirectedKivor& operator=(const RedirectedKivor&) = delete;

  bool ok() const { return bound_; }
  // What the channel asked for, connection by connection.
  const std::vector<std::string>& Hosts() const { return hosts_; }
  const std::vector<std::uint16_t>& Ports() const { return ports_; }

 private:
  static XhConnection Open(const char* host);
  static std::int32_t Post(XhConnection connection, std::uint16_t port, const char* path,
                           XhDocument doc);

  test::KivorLibrary kivor_;
  XmlHttpApi table_{};
  std::uint16_t simPort_;
  std::vector<std::string> hosts_;
  std::vector<std::uint16_t> ports_;
  bool bound_ = false;
};

// A discovery library that finds what the test says, on every search.
class FakeDiscovery {
 public:
  // |takesPort|: it has the entry that takes the search port.
  explicit FakeDiscovery(bool takesPort = true);
  ~FakeDiscovery();
  FakeDiscovery(const FakeDiscovery&) = delete;
  FakeDiscovery& operator=(const FakeDiscovery&) = delete;

  // Name and address of each MFP found.
  std::vector<std::pair<WString, WString>> answers;
  int searches = 0;
  std::optional<std::uint32_t> lastPort;  // none when the search took no port

 private:
  VktMfpAddress* Search(std::uint32_t* count);
  static VktMfpAddress* SearchOnPort(void*, std::int32_t, std::uint32_t* count, std::int32_t,
                                     std::uint32_t port);
  static VktMfpAddress* SearchWithoutPort(void*, std::int32_t, std::uint32_t* count,
                                          std::int32_t);
  static std::int32_t Free(VktMfpAddress* block);

  std::vector<VktMfpAddress> block_;
};

class SelectMfpTest : public AppDialogTest {
 protected:
  static constexpr const char* kStore =
      R"(<mfp name="Office MFP"><box id="1" name="Scans"/><box id="2" name="Finance"/></mfp>)";
  static constexpr const char* kUsbDevice = "sim-usb-0";

  void SetUp() override;
  void TearDown() override;

  // The simulator is started by each test, with USB devices or a search
  // port when it wants them.
  void StartSim(test::SimOptions options = {});
  void StartSimWithUsb(std::vector<std::string> devices = {kUsbDevice});
  // The still-image library is loaded: USB devices are listed by Search.
  void LoadStillImage();

  // A network MFP found before: the simulator.
  MFPInfo StoredNetworkMfp() const;
  MFPInfo StoredUsbMfp() const;

  // Runs the runner with |act| playing the user on the dialog.
  int Run(std::function<void(ui::CDialog&)> act, int autoConnect = FALSE,
          ui::CDialog* startupWnd = nullptr);

  static ui::CListCtrl* List(ui::CDialog& d);
  // Each row as "name | connect to".
  static std::vector<WString> Rows(ui::CDialog& d);
  // Replaces what edit |id| holds, as the user would by selecting it all and typing.
  static void Retype(ui::CDialog& d, int id, WStringView text);
  // The texts of the message boxes shown so far.
  std::vector<WString> BoxTexts() const;
  // Host names are looked up by a stand-in that answers every name with the
  // simulator's address and keeps the names it was asked in |asked|;
  // TearDown puts the real look-up back.
  static void LookUpEveryNameAsTheSimulator(std::vector<std::string>* asked);

  test::ScratchProgramFolder folder_{{"kivor.so", "sti.so", "yomba.so"}};
  std::unique_ptr<test::SimProcess> sim_;
  std::unique_ptr<RedirectedKivor> kivor_;
  std::unique_ptr<test::StiLibrary> sti_;
  std::unique_ptr<FakeDiscovery> discovery_;
  std::optional<test::ScopedEnv> usbRegistry_;
  AppSettings settings_;
};

}  // namespace tallow::app::testing
