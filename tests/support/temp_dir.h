// A scratch folder for one test, removed with everything in it at the end,
// and the small file helpers that tests use around it.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace tallow::test {

class TempDir {
 public:
  // Creates "<TMPDIR or /tmp>/tallow-XXXXXX"; throws std::runtime_error
  // when that is not possible.
  TempDir();
  // Folders that a test made read-only are made writable to be removed.
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path() + "/" + rel.
  std::string File(std::string_view rel) const;
  // File(rel) as wide text; Path() for an empty |rel|.
  WString Wide(std::string_view rel = {}) const;
  // Writes |content| to File(rel), making the folders on the way, and
  // returns that path; throws on failure.
  std::string Write(std::string_view rel, std::string_view content) const;
  std::string Write(std::string_view rel, const std::vector<std::uint8_t>& bytes) const;
  // Copies the file |from| to File(rel), replacing what is there.
  void Copy(const std::string& from, std::string_view rel) const;
  // The content of File(rel); empty when it cannot be read.
  std::string Read(std::string_view rel) const;
  // Whether File(rel) exists; a link counts, wherever it points.
  bool Exists(std::string_view rel) const;
  // Every entry below the folder, as paths relative to it.
  std::set<std::string> Tree() const;

 private:
  std::string path_;
};

// The names in |folder| (not "." and ".."), sorted, that end with |suffix|.
std::vector<std::string> FilesIn(const std::string& folder, std::string_view suffix = {});
// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Writes |content| to |path|, replacing what is there; throws on failure.
void WriteFile(const std::string& path, std::string_view content);

// Permission bits do not stop root.
bool RunningAsRoot();

}  // namespace tallow::test
