// The built program run from outside, as a user starts it: a copy of its
// folder (the program, the libraries it loads, its language file) in a
// scratch folder, so that what it keeps beside itself never lands in the
// build's bin/, and a home and runtime folder of its own.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace tallow::test {

inline constexpr const char* kProgramFileName = "tallowmere.bin";
inline constexpr const char* kLanguageFileName = "tallowmere.lrc";
// The libraries the program loads from its folder.
inline constexpr const char* kProgramLibraries[] = {"kivor.so",    "yomba.so", "pdfdumel.so",
                                                    "tiffdumel.so", "dumel.so", "sti.so"};

class ProgramCopy : public TempDir {
 public:
  // Copies the program's files from the build's bin/ (where the tests run)
  // into "program/"; throws when one is missing.
  ProgramCopy();

  // "program/", the copy's folder; its settings file is "setting/tallowmere.ini"
  // there, its working folders "work/".
  std::string Folder() const { return File("program"); }
  // The environment it runs in: HOME and the XDG folders in "home/" and
  // "runtime/" (mode 0700), DISPLAY as given (none when empty), and of the
  // caller's only PATH and the sanitizers' options; then |extra|.
  std::vector<std::string> Environment(
      const std::string& display,
      const std::vector<std::pair<std::string, std::string>>& extra = {}) const;
};

// The program started from a copy; killed and reaped with the object if it
// is still running.
class ProgramProcess {
 public:
  // |display| as for ProgramCopy::Environment. Its standard output and
  // error go to files of the copy's scratch folder. Throws when it cannot
  // be started.
  ProgramProcess(const ProgramCopy& copy, const std::string& display,
                 const std::vector<std::pair<std::string, std::string>>& extra = {});
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // The exit code once it has ended within |timeout| (128 + the signal when
  // a signal ended it); nullopt while it runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
  // Ends it as a crash would (SIGKILL), and reaps it.
  void Kill();
  // What it wrote to its standard error so far.
  std::string Stderr() const;

 private:
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
  std::string stderrPath_;
};

}  // namespace tallow::test
