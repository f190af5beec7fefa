// A scratch folder for one test, removed with everything in it at the end.
#pragma once

#include <string>
#include <string_view>

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

}  // namespace tallow::test
