#include "platform/module.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <mutex>
#include <utility>

#include "platform/path.h"

namespace tallow {

namespace {

std::mutex g_sourceLock;
std::function<WString(HMODULE)> g_source;

WString RealModuleFileName(HMODULE module) {
  if (!module) return ProgramFilePath();
  link_map* map = nullptr;
  if (::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
  return FromAnsi(map->l_name);
}

}  // namespace

DWORD GetModuleFileNameW(HMODULE module, char16_t* buffer, DWORD size) {
  std::function<WString(HMODULE)> source;
  {
    std::lock_guard<std::mutex> lock(g_sourceLock);
    source = g_source;
  }
  WString path = source ? source(module) : RealModuleFileName(module);
  if (path.empty()) {
    SetLastError(module ? ERROR_INVALID_HANDLE : ERROR_FILE_NOT_FOUND);
    return 0;
  }
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() < size) {
    std::memcpy(buffer, path.data(), path.size() * sizeof(char16_t));
    buffer[path.size()] = 0;
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
  }
  std::memcpy(buffer, path.data(), (size - 1) * sizeof(char16_t));
  buffer[size - 1] = 0;
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

void SetModuleFileNameSourceForTests(std::function<WString(HMODULE)> source) {
  std::lock_guard<std::mutex> lock(g_sourceLock);
  g_source = std::move(source);
}

}  // namespace tallow
