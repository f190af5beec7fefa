// What the fuzzers of the page writers share: a scratch folder of their own,
// removed at exit, and writing an input into it. Any failure traps, so that
// libFuzzer reports it.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

inline void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) __builtin_trap();
  if (size && std::fwrite(data, 1, size, f) != size) __builtin_trap();
  std::fclose(f);
}

}  // namespace fuzz
