// mfp-sim: a stand-in MFP that serves the box protocol over HTTP on a
// loopback address, for the tests, the benchmarks and demos.
#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "discovery_responder.h"
#include "faults.h"
#include "http_server.h"
#include "pages.h"
#include "store.h"
#include "usb_device.h"

namespace {

using namespace tallow::mfpsim;

constexpr int kExitUsage = 2;
constexpr std::streamsize kMaxConfigBytes = 16 << 20;

constexpr const char* kSynopsis =
    "usage: mfp-sim [--config FILE] [--bind 127.x.y.z] [--port N] [--search-port N]\n"
    "               [--usb NAME[,id=HWID][,desc=TEXT][,escape=notimpl]]... [--usb-block-size N]\n"
    "               [--fault SPEC]...\n";

int Usage(const std::string& message) {
  std::cerr << "mfp-sim: " << message << "\n" << kSynopsis;
  return kExitUsage;
}

bool IsLoopback(const std::string& host) {
  in_addr addr{};
  if (inet_pton(AF_INET, host.c_str(), &addr) != 1) return false;
  return (ntohl(addr.s_addr) >> 24) == 127;
}

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  if (static_cast<std::streamsize>(text.size()) > kMaxConfigBytes) {
    error = path + " is larger than 16 MiB";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string configPath, bind = "127.0.0.1";
  int port = 8080;
  int searchPort = 61000;
  std::vector<Fault> faultList;
  UsbOptions usbOptions;
  std::string usbError;

  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--help" || arg == "-h") {
      std::cout << kSynopsis << "See tools/mfp-sim/README.md.\n";
      return 0;
    } else if (arg == "--config") {
      if (!value(configPath)) return Usage("--config needs a file");
    } else if (arg == "--bind") {
      if (!value(bind)) return Usage("--bind needs an address");
      if (!IsLoopback(bind)) return Usage("--bind accepts only 127.0.0.0/8 addresses, not " + bind);
    } else if (arg == "--port") {
      if (!value(v)) return Usage("--port needs a number");
      char* end = nullptr;
      long p = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || p < 0 || p > 65535) return Usage("bad port " + v);
      port = static_cast<int>(p);
    } else if (arg == "--search-port") {
      if (!value(v)) return Usage("--search-port needs a number");
      char* end = nullptr;
      long p = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || p < 0 || p > 65535) return Usage("bad search port " + v);
      searchPort = static_cast<int>(p);
    } else if (usbOptions.Take(argc, argv, i, usbError)) {
      if (!usbError.empty()) return Usage(usbError);
    } else if (arg == "--fault") {
      if (!value(v)) return Usage("--fault needs a spec");
      std::string error;
      std::optional<Fault> f = ParseFault(v, error);
      if (!f) return Usage(error);
      faultList.push_back(*f);
    } else {
      return Usage("unknown argument " + arg);
    }
  }

  StoreData data;
  if (configPath.empty()) {
    data = SampleStore();
  } else {
    std::string text, error;
    if (!ReadFile(configPath, text, error)) return Usage(error);
    std::optional<StoreData> parsed = ParseStoreConfig(text, error);
    if (!parsed) return Usage(configPath + ": " + error);
    data = std::move(*parsed);
  }

  // Signals are taken by sigwait below, not by a handler: block them before
  // any thread starts so that every thread inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Store store(std::move(data));
  PageCache pages;
  FaultSet faults;
  faults.Replace(std::move(faultList));
  RequestLog log;
  HttpServer server(store, pages, faults, log);

  std::string error;
  if (!server.Bind(bind, port, error)) {
    std::cerr << "mfp-sim: " << error << "\n";
    return kExitUsage;
  }
  // Discovery answers before the ready line, so a search right after it finds us.
  DiscoveryResponder discovery(store, bind, static_cast<std::uint16_t>(server.Port()));
  if (!discovery.Start(static_cast<std::uint16_t>(searchPort), error)) {
    std::cerr << "mfp-sim: " << error << "\n";
    return kExitUsage;
  }
  UsbDevices usb(store, pages, faults, log);
  if (!usb.Start(usbOptions, error)) {
    std::cerr << "mfp-sim: " << error << "\n";
    return kExitUsage;
  }
  std::cout << "mfp-sim http " << bind << " " << server.Port() << std::endl;
  usb.PrintReadyLines(std::cout);

  std::promise<bool> done;
  std::future<bool> finished = done.get_future();
  std::thread serving([&] {
    bool ok = server.Run();
    done.set_value(ok);
    // Wake the main thread also when serving ended by itself.
    kill(getpid(), SIGTERM);
  });

  int sig = 0;
  sigwait(&stopSignals, &sig);
  usb.Stop();
  // Stop closes every connection, so the workers end at once. A stop that
  // comes before the server has started listening is lost, so it is given
  // again until serving ends; should a worker hang anyway, a simulator that
  // was told to stop must not linger for it.
  bool ended = false;
  for (int i = 0; i < 40 && !ended; ++i) {
    server.Stop();
    ended = finished.wait_for(std::chrono::milliseconds(50)) == std::future_status::ready;
  }
  if (!ended) std::_Exit(0);
  serving.join();
  return 0;
}
