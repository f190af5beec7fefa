// Downloads the pages of a 100-page colour document from one simulator over
// the USB path (Still Image stand-in, GETFILE/GETDATA blocks) and over the
// network path (HTTP page downloads), in one run, and prints both
// throughputs.
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "device/net_channel.h"
#include "device/sti_binding.h"
#include "device/usb_channel.h"
#include "support/kivor_loader.h"
#include "platform/library.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

using namespace tallow;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPages = 100;
constexpr int kRounds = 3;
constexpr const char16_t* kHost = u"127.0.0.1";
constexpr const char16_t* kDevice = u"BENCH-USB";

long long FolderBytes(const test::TempDir& dir) {
  long long total = 0;
  for (int p = 1; p <= kPages; ++p) {
    struct stat st;
    if (stat(dir.File(Format("0000C0DE_%d.jpg", p)).c_str(), &st) == 0) total += st.st_size;
  }
  return total;
}

// Seconds for all pages into a fresh folder; |bytes| gets what was stored.
double Run(const char* what, const std::function<int(const WString&, int)>& download,
           long long& bytes) {
  test::TempDir dir;
  const WString folder = FromAnsi(dir.Path());
  auto start = Clock::now();
  for (int p = 1; p <= kPages; ++p) {
    if (download(folder, p) != 1) {
      std::fprintf(stderr, "%s: page %d failed\n", what, p);
      std::exit(1);
    }
  }
  double t = std::chrono::duration<double>(Clock::now() - start).count();
  bytes = FolderBytes(dir);
  return t;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  test::KivorLibrary lib;
  if (!lib.ok()) {
    std::fprintf(stderr, "kivor.so did not load\n");
    return 1;
  }
  HMODULE sti = LoadLibraryW(u"sti.dll");
  FARPROC entry = sti ? GetProcAddress(sti, "StiCreateInstanceW") : nullptr;
  if (!entry) {
    std::fprintf(stderr, "sti.so did not load\n");
    return 1;
  }
  BindStiCreateInstance(entry);

  test::SimOptions options;
  options.config = Format(
      "<mfp name=\"Bench\"><box id=\"1\" name=\"Scans\">"
      "<doc id=\"C0DE\" name=\"Big\" pages=\"%d\" color=\"1\" width=\"2480\" height=\"3508\" dpi=\"300\"/>"
      "</box></mfp>",
      kPages);
  options.usb = {Format("%s,desc=Bench MFP", ToAnsi(kDevice).c_str())};
  const char* block = std::getenv("BENCH_USB_BLOCK_SIZE");
  const std::string blockSize = block && *block ? block : "1048576";
  options.extraArgs = {"--usb-block-size", blockSize};
  test::SimProcess sim(options);
  setenv("TALLOWMERE_USB_REGISTRY", sim.UsbRegistry().c_str(), 1);

  if (NetListFolders(kHost, sim.Port()) != 1 || NetListFiles(kHost, u"", 1, sim.Port(), nullptr) != 1 ||
      UsbListFolders(kDevice) != 1 || UsbListFiles(1, kDevice, u"", nullptr) != 1) {
    std::fprintf(stderr, "listing failed\n");
    return 1;
  }
  auto usb = [](const WString& folder, int page) { return UsbDownloadPage(folder, 0, page, kDevice); };
  auto net = [&](const WString& folder, int page) {
    return NetDownloadPage(0, page, kHost, folder, sim.Port());
  };

  long long usbBytes = 0, netBytes = 0;
  Run("net", net, netBytes);  // the simulator makes and caches its pages
  std::vector<double> usbTimes, netTimes;
  for (int r = 0; r < kRounds; ++r) {
    usbTimes.push_back(Run("usb", usb, usbBytes));
    netTimes.push_back(Run("net", net, netBytes));
  }
  if (usbBytes != netBytes) {
    std::fprintf(stderr, "usb stored %lld bytes, net %lld\n", usbBytes, netBytes);
    return 1;
  }
  const double tu = Median(usbTimes), tn = Median(netTimes);
  const double mib = static_cast<double>(usbBytes) / (1024.0 * 1024.0);
  std::printf("usb-download: %d pages, %.1f MiB (%.2f MiB a page), USB block %s bytes, median of %d rounds\n",
              kPages, mib, mib / kPages, blockSize.c_str(), kRounds);
  std::printf("  USB path     %.3f s (%.0f MiB/s, %.1f pages/s)\n", tu, mib / tu, kPages / tu);
  std::printf("  network path %.3f s (%.0f MiB/s, %.1f pages/s)\n", tn, mib / tn, kPages / tn);
  std::printf("  ratio usb/net %.3f\n", tu / tn);
  BindStiCreateInstance(nullptr);
  FreeLibrary(sti);
  return 0;
}
