#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/text.h"

namespace tallow {

struct KernelObject {
  int fd = -1;         // the lock file, open; -1 for an unnamed lock
  bool owned = false;  // created by this handle as the initial owner
};

namespace {

// The user's own folder for such files: XDG_RUNTIME_DIR when it names one,
// else the temporary folder, where the user's id keeps users apart.
std::string LockFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
    struct stat st;
    if (stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid()) return runtime;
  }
  const char* tmp = std::getenv("TMPDIR");
  return tmp && tmp[0] == '/' ? tmp : "/tmp";
}

// The name as a file name: characters that a path could take otherwise
// become "_".
std::string LockFileName(WStringView name) {
  std::string file = ToAnsi(name);
  for (char& c : file) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-' || c == '_';
    if (!plain) c = '_';
  }
  return "tallowmere-" + file + "-" + std::to_string(getuid()) + ".lock";
}

}  // namespace

HANDLE CreateMutexW(const void* /*securityAttributes*/, BOOL initialOwner, const char16_t* name) {
  const WStringView view = name ? WStringView(name) : WStringView();
  if (view.empty()) {
    SetLastError(ERROR_SUCCESS);
    return new KernelObject{-1, initialOwner != FALSE};
  }
  if (view.size() > 200) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  const std::string path = LockFolder() + "/" + LockFileName(view);
  // Never through a link someone else put there; not handed to child processes,
  // which would keep the name taken after we end.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    SetLastError(Win32ErrorFromErrno(errno));
    return nullptr;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    SetLastError(ERROR_SUCCESS);
    return new KernelObject{fd, initialOwner != FALSE};
  }
  const int err = errno;
  if (err == EWOULDBLOCK) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return new KernelObject{fd, false};
  }
  close(fd);
  SetLastError(Win32ErrorFromErrno(err));
  return nullptr;
}

BOOL ReleaseMutex(HANDLE mutex) {
  if (!mutex || !mutex->owned) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  mutex->owned = false;
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // The file stays: taking it away could let two holders lock two files.
  if (handle->fd >= 0) close(handle->fd);
  delete handle;
  return TRUE;
}

}  // namespace tallow
