// Mounts for tests that need a file system of their own: a small tmpfs (a
// disk that fills up), or a file bound over another (a name that no rename
// may take). The first mount moves the test process into a mount namespace
// of its own, which the processes it starts afterwards share: nothing
// outside sees the mounts, and a test that dies leaves none behind. Each is
// also undone when its object goes.
#pragma once

#include <cstddef>
#include <string>

namespace tallow::test {

class ScopedMount {
 public:
  // A tmpfs of |bytes| over the folder |folder|.
  static ScopedMount Tmpfs(const std::string& folder, std::size_t bytes);
  // The file |source| bound over the file |target|.
  static ScopedMount Bind(const std::string& source, const std::string& target);

  // Detaches the mount.
  ~ScopedMount();
  ScopedMount(ScopedMount&& other) noexcept;
  ScopedMount& operator=(ScopedMount&&) = delete;
  ScopedMount(const ScopedMount&) = delete;
  ScopedMount& operator=(const ScopedMount&) = delete;

  bool ok() const { return !point_.empty(); }
  // Why there is no mount, for the message of a test skipped for it.
  const std::string& Why() const { return why_; }

 private:
  ScopedMount() = default;

  std::string point_;  // empty when nothing is mounted
  std::string why_;
};

}  // namespace tallow::test
