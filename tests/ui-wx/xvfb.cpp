#include "tests/ui-wx/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace tallow::ui::testing {

namespace {

pid_t g_server = -1;

bool OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string dirs = path;
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string file = dirs.substr(start, end - start) + "/" + name;
    if (access(file.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

bool EnsureDisplay() {
  if (const char* display = std::getenv("DISPLAY"); display && *display) return true;
  if (!OnPath("Xvfb")) return false;
  int fds[2];
  if (pipe(fds) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (child == 0) {
    // A test that crashes or is timed out must not leave its server behind.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    close(fds[0]);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    // -displayfd: the server picks a free display number and writes it here.
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  g_server = child;
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    char c;
    if (read(fds[0], &c, 1) != 1) break;  // the server ended
    if (c == '\n') break;
    number.push_back(c);
  }
  close(fds[0]);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    StopXvfb();
    return false;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return true;
}

void StopXvfb() {
  if (g_server <= 0) return;
  kill(g_server, SIGTERM);
  int status = 0;
  for (int i = 0; i < 50; ++i) {
    if (waitpid(g_server, &status, WNOHANG) == g_server) {
      g_server = -1;
      return;
    }
    usleep(100 * 1000);
  }
  kill(g_server, SIGKILL);
  waitpid(g_server, &status, 0);
  g_server = -1;
}

}  // namespace tallow::ui::testing
