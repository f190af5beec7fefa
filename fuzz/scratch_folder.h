// A scratch folder of a fuzzer's own, for what its input makes on the disk,
// removed at exit. Any failure traps, so that libFuzzer reports it.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// "<TMPDIR or /tmp>/fuzz-<name>-XXXXXX", made on first use.
inline const std::string& ScratchFolder(const char* name) {
  static const std::string folder = [name] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fuzz-" + name + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) __builtin_trap();
    return pattern;
  }();
  // Registered once the folder's name is made, so that it runs before the
  // name is destroyed.
  static const bool removedAtExit = [] {
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    });
    return true;
  }();
  (void)removedAtExit;
  return folder;
}

}  // namespace fuzz
