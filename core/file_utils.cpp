#include "core/file_utils.h"

#include <cstring>
#include <ctime>
#include <memory>
#include <new>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/module.h"
#include "platform/path.h"

namespace tallow {

WString FormatFileTimeStamp(const std::int64_t* time) {
  std::tm local{};
  if (!time || !LocalTime64(*time, &local)) return {};
  char buffer[128];
  std::size_t n = std::strftime(buffer, sizeof buffer, "%Y%m%d%H%M%S", &local);
  if (n == 0) return {};
  return FromAnsi(std::string_view(buffer, n));
}

HRESULT GetModuleFilePath(WString& out, HMODULE module) {
  constexpr DWORD kFirstSize = 260;
  constexpr DWORD kLargestSize = 65535;
  for (DWORD size = kFirstSize; size <= kLargestSize; size *= 2) {
    std::unique_ptr<char16_t[]> buffer(new (std::nothrow) char16_t[size]());
    if (!buffer) return E_OUTOFMEMORY;
    DWORD n = GetModuleFileNameW(module, buffer.get(), size);
    if (n == 0) {
      // No path at all is a failure, not an empty path.
      DWORD error = GetLastError();
      return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    // A path of exactly size - 1 units may have been cut.
    if (n < size - 1) {
      out.assign(buffer.get());
      return S_OK;
    }
  }
  return HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY);
}

HRESULT TruncateToFolder(WString& path) {
  if (PathIsDirectoryW(path.c_str())) return S_OK;
  auto pos = path.rfind(kPathSeparator);
  if (pos == WString::npos) return E_FAIL;
  path.erase(pos);
  return S_OK;
}

HRESULT GetFileNamePart(WString& path) {
  if (PathIsDirectoryW(path.c_str())) {
    path.clear();
    return S_OK;
  }
  auto pos = path.rfind(kPathSeparator);
  if (pos == WString::npos) return E_FAIL;
  path.erase(0, pos + 1);
  return S_OK;
}

std::string WideToAnsi(const char16_t* wide) {
  if (!wide) return {};
  return ToAnsi(WStringView(wide, WideLength(wide)));
}

WString AnsiToWide(const char* ansi) {
  if (!ansi) return {};
  return FromAnsi(std::string_view(ansi, std::strlen(ansi)));
}

}  // namespace tallow
