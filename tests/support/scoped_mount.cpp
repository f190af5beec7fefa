#include "support/scoped_mount.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

namespace tallow::test {
namespace {

bool WriteProcFile(const char* path, std::string_view text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  return ::close(fd) == 0 && written;
}

// Moves the process into a mount namespace of its own, once; a process
// without the right to mount gets a user namespace too, in which it is
// root. Empty when done, else why not.
std::string PrivateMountNamespace() {
  static const std::string why = [] () -> std::string {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWNS) != 0) {
      const int plain = errno;
      if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        return std::string("no mount namespace: ") + std::strerror(plain) + "; no user namespace: " +
               std::strerror(errno);
      }
      if (!WriteProcFile("/proc/self/setgroups", "deny") ||
          !WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
          !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
        return std::string("user namespace not mapped: ") + std::strerror(errno);
      }
    }
    // Nothing mounted here reaches the namespace the process came from.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      return std::string("mounts not made private: ") + std::strerror(errno);
    }
    return {};
  }();
  return why;
}

}  // namespace

ScopedMount ScopedMount::Tmpfs(const std::string& folder, std::size_t bytes) {
  ScopedMount m;
  m.why_ = PrivateMountNamespace();
  if (!m.why_.empty()) return m;
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    m.why_ = "tmpfs on " + folder + ": " + std::strerror(errno);
    return m;
  }
  m.point_ = folder;
  return m;
}

ScopedMount ScopedMount::Bind(const std::string& source, const std::string& target) {
  ScopedMount m;
  m.why_ = PrivateMountNamespace();
  if (!m.why_.empty()) return m;
  if (::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    m.why_ = "bind " + source + " on " + target + ": " + std::strerror(errno);
    return m;
  }
  m.point_ = target;
  return m;
}

ScopedMount::~ScopedMount() {
  if (!point_.empty()) ::umount2(point_.c_str(), MNT_DETACH);
}

ScopedMount::ScopedMount(ScopedMount&& other) noexcept
    : point_(std::exchange(other.point_, {})), why_(std::move(other.why_)) {}

}  // namespace tallow::test
