// Downloads the pages of a 100-page colour document from the simulator
// through the network channel, and the same pages with the curl command line
// from the same simulator, and prints the ratio of the two times.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/net_channel.h"
#include "support/kivor_loader.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

using namespace tallow;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPages = 100;
constexpr int kRounds = 5;
constexpr double kTarget = 1.10;
constexpr const char16_t* kHost = u"127.0.0.1";

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

long long FolderBytes(const test::TempDir& dir) {
  long long total = 0;
  for (int p = 1; p <= kPages; ++p) {
    struct stat st;
    if (stat(dir.File(Format("0000C0DE_%d.jpg", p)).c_str(), &st) == 0) total += st.st_size;
  }
  return total;
}

double ChannelRun(std::uint16_t port, long long& bytes) {
  test::TempDir dir;
  const WString folder = FromAnsi(dir.Path());
  auto start = Clock::now();
  for (int p = 1; p <= kPages; ++p) {
    if (NetDownloadPage(0, p, kHost, folder, port) != 1) {
      std::fprintf(stderr, "page %d failed\n", p);
      std::exit(1);
    }
  }
  double t = Seconds(start);
  bytes = FolderBytes(dir);
  return t;
}

double CurlRun(std::uint16_t port) {
  test::TempDir dir;
  std::vector<std::string> args = {"curl", "--silent", "--fail", "--noproxy", "*"};
  for (int p = 1; p <= kPages; ++p) {
    args.push_back(Format("http://127.0.0.1:%u/loadimg.cgi?FileID=0000C0DE&PageNumber=%d", port, p));
    args.push_back("-o");
    args.push_back(dir.File(Format("0000C0DE_%d.jpg", p)));
  }
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  auto start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    execvp("curl", argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  double t = Seconds(start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "curl failed\n");
    std::exit(1);
  }
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
  test::SimOptions options;
  options.config = Format(
      "<mfp name=\"Bench\"><box id=\"1\" name=\"Scans\">"
      "<doc id=\"C0DE\" name=\"Big\" pages=\"%d\" color=\"1\" width=\"2480\" height=\"3508\" dpi=\"300\"/>"
      "</box></mfp>",
      kPages);
  test::SimProcess sim(options);
  if (NetListFolders(kHost, sim.Port()) != 1 || NetListFiles(kHost, u"", 1, sim.Port(), nullptr) != 1) {
    std::fprintf(stderr, "listing failed\n");
    return 1;
  }

  long long bytes = 0;
  ChannelRun(sim.Port(), bytes);  // the simulator makes and caches its pages
  std::vector<double> channel, curl;
  for (int r = 0; r < kRounds; ++r) {
    channel.push_back(ChannelRun(sim.Port(), bytes));
    curl.push_back(CurlRun(sim.Port()));
  }
  const double tc = Median(channel), tu = Median(curl);
  const double mib = static_cast<double>(bytes) / (1024.0 * 1024.0);
  std::printf("net-download: %d pages, %.1f MiB (%.2f MiB a page), median of %d rounds\n", kPages,
              mib, mib / kPages, kRounds);
  std::printf("  network channel %.3f s (%.0f MiB/s)\n", tc, mib / tc);
  std::printf("  curl            %.3f s (%.0f MiB/s)\n", tu, mib / tu);
  std::printf("  ratio channel/curl %.3f (target <= %.2f): %s\n", tc / tu, kTarget,
              tc / tu <= kTarget ? "met" : "MISSED");
  return 0;
}
