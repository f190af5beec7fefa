#include "support/program_copy.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "platform/path.h"

namespace tallow::test {

namespace fs = std::filesystem;

ProgramCopy::ProgramCopy() {
  const fs::path real = ToAnsi(ProgramFolder());
  std::vector<const char*> files = {kProgramFileName, kLanguageFileName};
  files.insert(files.end(), std::begin(kProgramLibraries), std::end(kProgramLibraries));
  fs::create_directories(Folder());
  for (const char* name : files) Copy((real / name).string(), std::string("program/") + name);
  fs::permissions(Folder() + "/" + kProgramFileName, fs::perms::owner_exec, fs::perm_options::add);
  for (const char* folder : {"home", "runtime"}) {
    fs::create_directories(File(folder));
    chmod(File(folder).c_str(), 0700);
  }
}

std::vector<std::string> ProgramCopy::Environment(
    const std::string& display,
    const std::vector<std::pair<std::string, std::string>>& extra) const {
  std::vector<std::string> env = {
      "HOME=" + File("home"),
      "XDG_RUNTIME_DIR=" + File("runtime"),
      "XDG_CONFIG_HOME=" + File("home/.config"),
      "XDG_CACHE_HOME=" + File("home/.cache"),
      "XDG_DATA_HOME=" + File("home/.local/share"),
      // The toolkit keeps its settings in memory and asks no desktop service.
      "GSETTINGS_BACKEND=memory",
      "NO_AT_BRIDGE=1",
  };
  if (!display.empty()) env.push_back("DISPLAY=" + display);
  for (const char* name : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
  }
  for (const auto& [name, value] : extra) env.push_back(name + "=" + value);
  return env;
}

ProgramProcess::ProgramProcess(const ProgramCopy& copy, const std::string& display,
                               const std::vector<std::pair<std::string, std::string>>& extra) {
  static std::atomic<int> runs{0};
  const std::string run = std::to_string(runs++);
  stderrPath_ = copy.File("stderr-" + run + ".txt");
  const std::string stdoutPath = copy.File("stdout-" + run + ".txt");
  const std::string program = copy.Folder() + "/" + kProgramFileName;
  std::vector<std::string> env = copy.Environment(display, extra);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("cannot start " + program);
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int out = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || null < 0) _exit(126);
    dup2(null, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (chdir(copy.Path().c_str()) != 0) _exit(126);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    execve(program.c_str(), argv, envp.data());
    _exit(127);
  }
}

ProgramProcess::~ProgramProcess() {
  if (!exitCode_) Kill();
}

std::optional<int> ProgramProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (exitCode_ || pid_ <= 0) return exitCode_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exitCode_;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

void ProgramProcess::Kill() {
  if (exitCode_ || pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  exitCode_ = 128 + SIGKILL;
}

std::string ProgramProcess::Stderr() const { return ReadFile(stderrPath_); }

}  // namespace tallow::test
