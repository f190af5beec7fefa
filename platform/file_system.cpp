#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/path.h"

namespace tallow {

namespace {

char16_t FoldCase(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

BOOL FailWithErrno() {
  SetLastError(Win32ErrorFromErrno(errno));
  return FALSE;
}

bool NullPath(const char16_t* path) {
  if (path) return false;
  SetLastError(ERROR_INVALID_PARAMETER);
  return true;
}

}  // namespace

BOOL PathIsDirectoryW(const char16_t* path) {
  if (!path || !*path) return FALSE;
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? TRUE : FALSE;
}

BOOL CreateDirectoryW(const char16_t* path) {
  if (NullPath(path)) return FALSE;
  if (::mkdir(NativePath(path).c_str(), 0777) != 0) return FailWithErrno();
  return TRUE;
}

BOOL DeleteFileW(const char16_t* path) {
  if (NullPath(path)) return FALSE;
  if (::unlink(NativePath(path).c_str()) != 0) return FailWithErrno();
  return TRUE;
}

BOOL GetRealPathW(WStringView path, WString& real) {
  real.clear();
  // A NUL would cut the native path short and name another file.
  if (path.empty() || path.find(u'\0') != WStringView::npos) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  char* resolved = ::realpath(NativePath(path).c_str(), nullptr);
  if (!resolved) return FailWithErrno();
  real = FromAnsi(resolved);
  std::free(resolved);
  return TRUE;
}

int AccessW(const char16_t* path, int mode) {
  if (!path) return -1;
  int native = F_OK;
  if (mode & kAccessWrite) native |= W_OK;
  if (mode & 4) native |= R_OK;
  return ::access(NativePath(path).c_str(), native) == 0 ? 0 : -1;
}

BOOL CreateAndCloseFileW(const char16_t* path, FileCreation how) {
  if (NullPath(path)) return FALSE;
  int flags = O_RDWR | O_CREAT | O_CLOEXEC;
  if (how == FileCreation::kNew) flags |= O_EXCL;
  if (how == FileCreation::kAlways) flags |= O_TRUNC;
  int fd = ::open(NativePath(path).c_str(), flags, 0666);
  if (fd < 0) {
    if (errno == EEXIST) {
      SetLastError(ERROR_FILE_EXISTS);
      return FALSE;
    }
    return FailWithErrno();
  }
  ::close(fd);
  return TRUE;
}

bool MatchFileName(WStringView name, WStringView pattern) {
  // Iterative wildcard match with one back-track point for the last "*".
  std::size_t n = 0, p = 0, star = WStringView::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      resume = n;
    } else if (star != WStringView::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

BOOL FileFinder::FindFile(WStringView folder, WStringView pattern) {
  Close();
  std::string native = NativePath(folder);
  DIR* dir = ::opendir(native.c_str());
  if (!dir) return FailWithErrno();
  if (native.empty() || native.back() != kPathSeparatorA) native += kPathSeparatorA;
  // The whole listing is taken at once, so that deleting entries while
  // walking it cannot disturb the walk.
  while (dirent* e = ::readdir(dir)) {
    WString name = FromAnsi(e->d_name);
    if (!MatchFileName(name, pattern)) continue;
    bool directory = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN) {
      struct stat st;
      directory = ::lstat((native + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    entries_.push_back({std::move(name), directory});
  }
  ::closedir(dir);
  if (entries_.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}

BOOL FileFinder::FindNextFile() {
  if (next_ >= entries_.size()) {
    current_ = nullptr;
    return FALSE;
  }
  current_ = &entries_[next_++];
  return TRUE;
}

void FileFinder::Close() {
  entries_.clear();
  next_ = 0;
  current_ = nullptr;
}

const WString& FileFinder::GetFileName() const {
  static const WString kNone;
  return current_ ? current_->name : kNone;
}

BOOL FileFinder::IsDirectory() const { return current_ && current_->directory ? TRUE : FALSE; }

BOOL FileFinder::IsDots() const {
  return current_ && (current_->name == u"." || current_->name == u"..") ? TRUE : FALSE;
}

}  // namespace tallow
