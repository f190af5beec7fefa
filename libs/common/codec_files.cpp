#include "codec_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "utf.h"

namespace dumel {

namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::string Utf8Path(const char16_t* path, std::size_t maxUnits) {
  if (!path) return {};
  std::size_t units = 0;
  while (path[units] != u'\0') {
    if (units++ >= maxUnits) return {};
  }
  return standin::ToUtf8(std::u16string_view(path, units));
}

std::string PageFilePath(const std::string& folder, std::uint32_t documentId, int page,
                         const char* extension) {
  char name[64];
  std::snprintf(name, sizeof name, "%08X_%d.%s", static_cast<unsigned>(documentId), page,
                extension);
  std::string path = folder;
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path + name;
}

// ---- page readers

InputFile::~InputFile() { Close(); }

void InputFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

bool InputFile::Open(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return false;
  struct stat st;
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    Close();
    return false;
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool InputFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (fd_ < 0 || offset > size_ || length > size_ - offset) return false;
  auto* out = static_cast<std::uint8_t*>(buffer);
  while (length > 0) {
    const ssize_t n = ::pread(fd_, out, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // the file shrank, or cannot be read
    out += n;
    offset += static_cast<std::uint64_t>(n);
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

bool MemoryReader::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (offset > bytes_.size() || length > bytes_.size() - offset) return false;
  if (length > 0) std::memcpy(buffer, bytes_.data() + offset, length);
  return true;
}

const PageReader* PageFiles::Open(int number, std::string& reason) {
  if (!file_.Open(PageFilePath(folder_, documentId_, number, extension_))) {
    reason = "page file missing";
    return nullptr;
  }
  return &file_;
}

bool DescriptorOutput::Write(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// ---- OutputFile

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_.empty() && !committed_) ::unlink(temporary_.c_str());
}

bool OutputFile::Create() {
  if (target_.empty() || target_.back() == '/') return false;
  struct stat st;
  const bool replacing = ::stat(target_.c_str(), &st) == 0;
  if (replacing) {
    if (S_ISDIR(st.st_mode)) return false;
    if (::access(target_.c_str(), W_OK) != 0) return false;
  }
  const std::string folder = FolderOf(target_);
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 64; ++attempt) {
    char name[48];
    std::snprintf(name, sizeof name, "/.dumel-%016llx.tmp",
                  static_cast<unsigned long long>(random()));
    std::string candidate = folder + name;
    // New names only, and the usual mode for a new file (the umask applies).
    const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      // A replaced file keeps its permissions.
      if (replacing) ::fchmod(fd, st.st_mode & 07777);
      fd_ = fd;
      temporary_ = std::move(candidate);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

int OutputFile::TakeDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool OutputFile::Commit() {
  if (temporary_.empty() || committed_ || fd_ >= 0) return false;
  // On the disk before it takes the name: a crash must not leave an empty
  // file where the old one was.
  const int fd = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  if (!synced) return false;
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return false;
  committed_ = true;
  const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

void ReverseBits(std::uint8_t* data, std::size_t length) {
  static const auto kTable = [] {
    struct Table {
      std::uint8_t v[256];
    } t{};
    for (int i = 0; i < 256; ++i) {
      int r = 0;
      for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
      t.v[i] = static_cast<std::uint8_t>(r);
    }
    return t;
  }();
  for (std::size_t i = 0; i < length; ++i) data[i] = kTable.v[data[i]];
}

}  // namespace dumel
