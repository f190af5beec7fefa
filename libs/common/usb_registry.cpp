#include "usb_registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "utf.h"

namespace standin {

namespace {

bool IsPathValue(std::string_view s) {
  return !s.empty() && s.front() == '/' && s.size() <= USB_REGISTRY_MAX_PATH_BYTES &&
         !HasControl(s);
}

// A whole file of at most USB_REGISTRY_MAX_ENTRY_BYTES; nothing when it is
// larger or cannot be read.
std::optional<std::string> ReadSmallFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return std::nullopt;
  struct stat st;
  std::string text;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  char buf[1024];
  while (ok) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) ok = false;
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
    if (text.size() > USB_REGISTRY_MAX_ENTRY_BYTES) ok = false;
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return text;
}

}  // namespace

std::string UsbRegistryFolder() {
  if (const char* env = std::getenv(USB_REGISTRY_ENV); env && *env) return env;
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) {
    return std::string(run) + "/" USB_REGISTRY_RUNTIME_FOLDER;
  }
  return USB_REGISTRY_FALLBACK_PREFIX + std::to_string(::getuid());
}

std::optional<UsbRegistryEntry> ParseUsbRegistryEntry(std::string_view text) {
  if (text.size() > USB_REGISTRY_MAX_ENTRY_BYTES) return std::nullopt;
  UsbRegistryEntry e;
  bool seen[5] = {};
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
    static constexpr std::string_view kKeys[] = {
        USB_REGISTRY_KEY_NAME, USB_REGISTRY_KEY_DESCRIPTION, USB_REGISTRY_KEY_HARDWARE_ID,
        USB_REGISTRY_KEY_SOCKET, USB_REGISTRY_KEY_LOCK};
    std::string* fields[] = {&e.name, &e.description, &e.hardwareId, &e.socketPath, &e.lockPath};
    for (std::size_t k = 0; k < 5; ++k) {
      if (key != kKeys[k]) continue;
      if (seen[k]) return std::nullopt;
      seen[k] = true;
      fields[k]->assign(value);
    }
  }
  std::optional<std::size_t> units = Utf16Length(e.name);
  if (!units || *units == 0 || *units > USB_REGISTRY_MAX_NAME_UNITS || HasControl(e.name)) {
    return std::nullopt;
  }
  if (!IsCleanUtf8(e.description) || !IsCleanUtf8(e.hardwareId)) return std::nullopt;
  if (!IsPathValue(e.socketPath) || !IsPathValue(e.lockPath)) return std::nullopt;
  return e;
}

std::string FormatUsbRegistryEntry(const UsbRegistryEntry& e) {
  return USB_REGISTRY_KEY_NAME "=" + e.name +
         "\n" USB_REGISTRY_KEY_DESCRIPTION "=" + e.description +
         "\n" USB_REGISTRY_KEY_HARDWARE_ID "=" + e.hardwareId +
         "\n" USB_REGISTRY_KEY_SOCKET "=" + e.socketPath +
         "\n" USB_REGISTRY_KEY_LOCK "=" + e.lockPath + "\n";
}

std::vector<UsbRegistryEntry> ReadUsbRegistry(const std::string& folder) {
  std::vector<std::string> files;
  if (DIR* dir = ::opendir(folder.c_str())) {
    const std::string_view suffix = USB_REGISTRY_ENTRY_SUFFIX;
    while (dirent* d = ::readdir(dir)) {
      std::string_view n = d->d_name;
      if (n.size() > suffix.size() && n.substr(n.size() - suffix.size()) == suffix && n[0] != '.') {
        files.emplace_back(n);
      }
      if (files.size() >= USB_REGISTRY_MAX_ENTRIES) break;
    }
    ::closedir(dir);
  }
  std::sort(files.begin(), files.end());
  std::vector<UsbRegistryEntry> entries;
  for (const std::string& f : files) {
    std::optional<std::string> text = ReadSmallFile(folder + "/" + f);
    if (!text) continue;
    if (std::optional<UsbRegistryEntry> e = ParseUsbRegistryEntry(*text)) entries.push_back(*e);
  }
  return entries;
}

std::optional<UsbRegistryEntry> FindUsbRegistryEntry(const std::string& folder,
                                                     std::string_view name) {
  for (UsbRegistryEntry& e : ReadUsbRegistry(folder)) {
    if (e.name == name) return std::move(e);
  }
  return std::nullopt;
}

}  // namespace standin
