#include "platform/path.h"

#include <unistd.h>

#include <climits>
#include <vector>

namespace tallow {

WString MapLibraryName(WStringView name) {
  WString out(name);
  if (out.size() >= 4 && AsciiLower(WStringView(out).substr(out.size() - 4)) == u".dll") {
    out.replace(out.size() - 4, 4, u".so");
  }
  return out;
}

WString ProgramFilePath() {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) return FromAnsi(std::string_view(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

WString ProgramFolder() {
  WString path = ProgramFilePath();
  auto pos = path.rfind(kPathSeparator);
  if (pos == WString::npos) return {};
  return path.substr(0, pos == 0 ? 1 : pos);
}

}  // namespace tallow
