#include "support/xvfb_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace tallow::test {

XvfbServer::XvfbServer() {
  int fds[2];
  if (pipe(fds) != 0) return;
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return;
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
  pid_ = child;
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
    Stop();
    return;
  }
  display_ = ":" + number;
}

XvfbServer::~XvfbServer() { Stop(); }

void XvfbServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 50; ++i) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    usleep(100 * 1000);
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace tallow::test
