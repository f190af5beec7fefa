// Runs the MFP simulator (tools/mfp-sim) as a child process on a free
// loopback port for the length of a test, and talks to its /_sim/ control
// endpoints.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/loopback_http.h"
#include "support/temp_dir.h"

namespace tallow::test {

struct SimOptions {
  std::string config;               // store configuration XML; empty: the built-in sample
  std::vector<std::string> faults;  // each passed as --fault
  std::string bind = "127.0.0.1";   // must be in 127.0.0.0/8
  std::vector<std::string> extraArgs;
  int searchPort = 0;               // --search-port; 0: no discovery answers
  // USB devices, each passed as --usb ("NAME[,id=HWID][,desc=TEXT][,escape=notimpl]").
  std::vector<std::string> usb = {};
  // The run-time USB registry folder handed to the simulator; empty: a
  // folder of the simulator's own scratch folder, so that parallel tests do
  // not see each other's devices.
  std::string usbRegistry = {};
};

// A UDP port that was free on 127.0.0.1 a moment ago: a search port for a
// simulator that no other test's questions reach. 0 when none could be had.
std::uint16_t FreeLoopbackUdpPort();

class SimProcess {
 public:
  // Starts the simulator and waits (at most about 10 s) for its ready line.
  // Throws std::runtime_error when it does not come up.
  SimProcess();
  explicit SimProcess(const SimOptions& options);
  // Terminate(), if not done yet.
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  std::uint16_t Port() const { return port_; }
  const std::string& Address() const { return address_; }
  // The USB registry folder the simulator was given (also without devices).
  // A test that opens the devices sets TALLOWMERE_USB_REGISTRY to it.
  const std::string& UsbRegistry() const { return usbRegistry_; }
  // The USB devices of the ready lines, in order.
  const std::vector<std::string>& UsbDevices() const { return usbDevices_; }
  pid_t Pid() const { return pid_; }

  // Replaces all faults ("<target> <kind> [arg]" each); an empty list clears
  // them. Throws when the simulator refuses a line.
  void SetFaults(const std::vector<std::string>& lines);
  // The request log since the start or the last ClearLog, one entry a line.
  std::vector<std::string> Log();
  void ClearLog();

  // Ends the simulator: SIGTERM, then SIGKILL if it has not ended within a
  // few seconds. Returns its exit code: 0 after a clean stop, -1 when it
  // had to be killed or was gone already. Lets a test see that the
  // simulator itself ran clean (a sanitizer report makes it exit nonzero).
  int Terminate();

  // One exchange with the simulator.
  HttpReply Get(std::string_view target, int timeoutMs = 10000) const;
  HttpReply Post(std::string_view target, std::string_view body, int timeoutMs = 10000) const;

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  std::string address_;
  std::uint16_t port_ = 0;
  std::string usbRegistry_;
  std::vector<std::string> usbDevices_;
};

}  // namespace tallow::test
