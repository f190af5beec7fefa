// A fresh folder per test, removed with everything in it afterwards.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "platform/text.h"

namespace tallow::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tallow-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    // Folders made read-only by a test must become writable to be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_directory(ec) && !it->is_symlink(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
      }
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str(const std::string& rel = {}) const {
    return rel.empty() ? path_.string() : (path_ / rel).string();
  }
  WString wide(const std::string& rel = {}) const { return FromAnsi(str(rel)); }

  void Write(const std::string& rel, const std::string& content) const {
    std::filesystem::create_directories((path_ / rel).parent_path());
    std::ofstream(path_ / rel, std::ios::binary) << content;
  }
  std::string Read(const std::string& rel) const {
    std::ifstream in(path_ / rel, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool Exists(const std::string& rel) const {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path_ / rel, ec));
  }
  // Every entry below the folder, as relative paths.
  std::set<std::string> Tree() const {
    std::set<std::string> out;
    for (auto& e : std::filesystem::recursive_directory_iterator(path_)) {
      out.insert(std::filesystem::relative(e.path(), path_).string());
    }
    return out;
  }

 private:
  std::filesystem::path path_;
};

inline bool RunningAsRoot() { return ::geteuid() == 0; }

}  // namespace tallow::testing
