#include "platform/desktop_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/path.h"

namespace tallow {

namespace {

constexpr std::string_view kDesktopKey = "XDG_DESKTOP_DIR";

WString EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  return value ? FromAnsi(value) : WString();
}

WString HomeFolder() {
  WString home = EnvironmentPath("HOME");
  if (!home.empty()) return home;
  std::vector<char> buffer(16384);
  passwd entry;
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir) {
    return FromAnsi(found->pw_dir);
  }
  return {};
}

// A folder, or a link to one.
bool IsFolder(const WString& path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void DropTrailingSeparators(WString& path) {
  while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
}

// A small regular file, whole; false when it is missing, not a plain file or
// too large.
bool ReadSmallFile(const std::string& path, std::string& out) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<std::uint64_t>(st.st_size) <= kMaxUserDirsFileSize;
  out.clear();
  char chunk[4096];
  while (ok) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    out.append(chunk, static_cast<std::size_t>(n));
    if (out.size() > kMaxUserDirsFileSize) ok = false;
  }
  ::close(fd);
  return ok;
}

// One line: XDG_DESKTOP_DIR="$HOME/..." or XDG_DESKTOP_DIR="/...", with "\"
// escaping the next character. Anything else is not an entry.
bool ParseLine(std::string_view line, WStringView home, WString& out) {
  auto skipBlanks = [&] {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  };
  skipBlanks();
  if (!line.starts_with(kDesktopKey)) return false;
  line.remove_prefix(kDesktopKey.size());
  skipBlanks();
  if (line.empty() || line.front() != '=') return false;
  line.remove_prefix(1);
  skipBlanks();
  if (line.empty() || line.front() != '"') return false;
  line.remove_prefix(1);

  bool relative = false;
  if (line.starts_with("$HOME")) {
    line.remove_prefix(5);
    if (!line.empty() && line.front() == '/') {
      line.remove_prefix(1);
    } else if (line.empty() || line.front() != '"') {
      return false;  // "$HOMEX" is no folder of home
    }
    relative = true;
  } else if (line.empty() || line.front() != '/') {
    return false;  // only absolute or home-relative folders are meant
  }

  std::string value;
  bool closed = false;
  while (!line.empty()) {
    char c = line.front();
    line.remove_prefix(1);
    if (c == '"') {
      closed = true;
      break;
    }
    if (c == '\\' && !line.empty()) {
      c = line.front();
      line.remove_prefix(1);
    }
    value.push_back(c);
  }
  if (!closed) return false;
  if (relative) {
    if (home.empty()) return false;
    out.assign(home);
    if (!value.empty()) {
      DropTrailingSeparators(out);
      if (out.back() != kPathSeparator) out.push_back(kPathSeparator);
      out += FromAnsi(value);
    }
  } else {
    out = FromAnsi(value);
  }
  DropTrailingSeparators(out);
  return true;
}

}  // namespace

WString ParseUserDirsDesktop(std::string_view contents, WStringView home) {
  WString result;
  while (!contents.empty()) {
    std::size_t end = contents.find_first_of("\r\n");
    std::string_view line = contents.substr(0, end);
    WString entry;
    if (ParseLine(line, home, entry)) result = std::move(entry);
    if (end == std::string_view::npos) break;
    contents.remove_prefix(end + 1);
  }
  return result;
}

BOOL GetDesktopDirectory(WString& path) {
  path.clear();
  const WString home = HomeFolder();
  WString config = EnvironmentPath("XDG_CONFIG_HOME");
  // The base-directory rules ignore a relative value.
  if (config.empty() || config.front() != kPathSeparator) {
    if (home.empty()) return FALSE;
    config = home + u"/.config";
  }
  WString desktop;
  std::string contents;
  if (ReadSmallFile(NativePath(config + u"/user-dirs.dirs"), contents)) {
    desktop = ParseUserDirsDesktop(contents, home);
  }
  if (desktop.empty() && !home.empty()) {
    desktop = home;
    DropTrailingSeparators(desktop);
    if (desktop.back() != kPathSeparator) desktop.push_back(kPathSeparator);
    desktop += u"Desktop";
  }
  // As the user-dirs convention has it, a desktop that is not there is the
  // home folder: a first save must not be sent to a folder that cannot take it.
  if (!desktop.empty() && IsFolder(desktop)) {
    path = std::move(desktop);
    return TRUE;
  }
  if (home.empty()) return FALSE;
  path = home;
  DropTrailingSeparators(path);
  return TRUE;
}

}  // namespace tallow
