// A scratch folder for one test, removed with everything in it at the end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tallow::test {

class TempDir {
 public:
  // Creates "<TMPDIR or /tmp>/tallow-XXXXXX"; throws std::runtime_error
  // when that is not possible.
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path() + "/" + name.
  std::string File(std::string_view name) const;
  // Writes |content| to File(name) and returns that path; throws on failure.
  std::string Write(std::string_view name, std::string_view content) const;

 private:
  std::string path_;
};

// The names in |folder| (not "." and ".."), sorted, that end with |suffix|.
std::vector<std::string> FilesIn(const std::string& folder, std::string_view suffix = {});
// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace tallow::test
