#include "support/window_manager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/x_windows.h"

namespace tallow::test {

namespace {

// A window manager that follows the standard names its check window on the
// root (_NET_SUPPORTING_WM_CHECK) once it manages the screen.
bool Managed(Display* display) {
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                        XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
                     type == XA_WINDOW && count == 1;
  if (data) XFree(data);
  return found;
}

}  // namespace

WindowManager::WindowManager(const std::string& display) {
  char pattern[] = "/tmp/tallowmere-wm-XXXXXX";
  if (!mkdtemp(pattern)) return;
  home_ = pattern;
  // Made before the fork: the child only duplicates descriptors and execs.
  std::vector<std::string> env = {"DISPLAY=" + display, "HOME=" + home_,
                                  "XDG_CONFIG_HOME=" + home_ + "/.config",
                                  "XDG_CACHE_HOME=" + home_ + "/.cache"};
  if (const char* path = std::getenv("PATH")) env.push_back(std::string("PATH=") + path);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char name[] = "openbox";
  char noSession[] = "--sm-disable";
  char* argv[] = {name, noSession, nullptr};
  const pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    execvpe(name, argv, envp.data());
    _exit(127);
  }
  pid_ = child;
  Display* x = OpenTestDisplay(display);
  if (!x) {
    Stop();
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!(ok_ = Managed(x)) && std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {  // it ended: no manager
      pid_ = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  XCloseDisplay(x);
  if (!ok_) Stop();
}

WindowManager::~WindowManager() { Stop(); }

void WindowManager::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) != pid_; ++i) usleep(100 * 1000);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (!home_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
    home_.clear();
  }
}

}  // namespace tallow::test
