#include "platform/path.h"

#include <unistd.h>

#include <climits>
#include <mutex>
#include <utility>
#include <vector>

namespace tallow {

WString MapLibraryName(WStringView name) {
  WString out(name);
  if (out.size() >= 4 && AsciiLower(WStringView(out).substr(out.size() - 4)) == u".dll") {
    out.replace(out.size() - 4, 4, u".so");
  }
  return out;
}

namespace {

// Function-local, so that code running before main may ask.
struct ProgramForTests {
  std::mutex lock;
  WString path;
};
ProgramForTests& ProgramOverride() {
  static ProgramForTests p;
  return p;
}

}  // namespace

WString ProgramFilePath() {
  {
    ProgramForTests& o = ProgramOverride();
    std::lock_guard<std::mutex> lock(o.lock);
    if (!o.path.empty()) return o.path;
  }
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) return FromAnsi(std::string_view(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

void SetProgramFilePathForTests(WString path) {
  ProgramForTests& o = ProgramOverride();
  std::lock_guard<std::mutex> lock(o.lock);
  o.path = std::move(path);
}

WString ProgramFolder() {
  WString path = ProgramFilePath();
  auto pos = path.rfind(kPathSeparator);
  if (pos == WString::npos) return {};
  return path.substr(0, pos == 0 ? 1 : pos);
}

}  // namespace tallow
