// The simulator's USB front end: simulated USB-attached MFPs that the Still
// Image stand-in ("sti.so") reaches over a Unix socket each, listed in the
// run-time USB registry while the simulator runs. They serve the same store
// and box service as the HTTP front end, plus the USB page transfer
// ("GETFILE", "GETDATA"). The wire is described in docs/usb-transport.md.
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "faults.h"
#include "pages.h"
#include "store.h"

namespace tallow::mfpsim {

struct UsbDeviceConfig {
  std::string name;         // internal device name
  std::string hardwareId;   // "MatchingDeviceId"
  std::string description;  // empty: the store's name
  bool escapeNotImpl = false;  // answer the request escape with E_NOTIMPL
};

inline constexpr std::size_t kDefaultUsbBlockSize = 64 * 1024;
inline constexpr std::size_t kMaxUsbBlockSize = std::size_t{64} << 20;
inline constexpr const char* kDefaultUsbHardwareId = "USB\\VID_1144&PID_4D02&REV_0100";

struct UsbOptions {
  std::vector<UsbDeviceConfig> devices;
  std::size_t blockSize = kDefaultUsbBlockSize;

  // Takes "--usb SPEC" or "--usb-block-size N" at argv[i] (moving i past its
  // value) and returns true; false for any other argument. |error| is set
  // when the option is bad.
  bool Take(int argc, char** argv, int& i, std::string& error);
};

// "NAME[,id=HWID][,desc=TEXT][,escape=notimpl]"
bool ParseUsbDeviceSpec(const std::string& spec, UsbDeviceConfig& config, std::string& error);

class UsbDevices {
 public:
  UsbDevices(Store& store, PageCache& pages, FaultSet& faults, RequestLog& log);
  ~UsbDevices();
  UsbDevices(const UsbDevices&) = delete;
  UsbDevices& operator=(const UsbDevices&) = delete;

  // Listens on a socket per device and writes their registry entries.
  bool Start(const UsbOptions& options, std::string& error);
  // "mfp-sim usb <name>" per device, flushed.
  void PrintReadyLines(std::ostream& out) const;
  // Removes the registry entries, closes every connection; idempotent.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tallow::mfpsim
