#include "platform/app_profile.h"

#include <memory>
#include <mutex>

#include "platform/profile.h"

namespace tallow {

namespace {

std::mutex& PathLock() {
  static std::mutex lock;
  return lock;
}

WString& Path() {
  static WString path;
  return path;
}

}  // namespace

void SetAppProfilePath(WStringView path) {
  std::lock_guard<std::mutex> lock(PathLock());
  Path().assign(path);
}

WString AppProfilePath() {
  std::lock_guard<std::mutex> lock(PathLock());
  return Path();
}

WString GetAppProfileString(const char16_t* section, const char16_t* entry,
                            const char16_t* defaultValue) {
  const WString path = AppProfilePath();
  auto buffer = std::make_unique<char16_t[]>(kAppProfileValueUnits + 1);
  const DWORD n = GetPrivateProfileStringW(section, entry, defaultValue, buffer.get(),
                                           kAppProfileValueUnits + 1, path.c_str());
  return WString(buffer.get(), n);
}

std::uint32_t GetAppProfileInt(const char16_t* section, const char16_t* entry, int defaultValue) {
  const WString path = AppProfilePath();
  return GetPrivateProfileIntW(section, entry, defaultValue, path.c_str());
}

BOOL WriteAppProfileString(const char16_t* section, const char16_t* entry, const char16_t* value) {
  const WString path = AppProfilePath();
  return WritePrivateProfileStringW(section, entry, value, path.c_str());
}

BOOL WriteAppProfileInt(const char16_t* section, const char16_t* entry, int value) {
  const WString text = FromAnsi(Format("%d", value));
  return WriteAppProfileString(section, entry, text.c_str());
}

}  // namespace tallow
