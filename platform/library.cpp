#include "platform/library.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/path.h"

namespace tallow {

namespace {

bool IsFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The file in |folder| whose name equals |name| ignoring ASCII case.
std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
  std::string exact = folder + kPathSeparatorA + name;
  if (IsFile(exact)) return exact;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return {};
  WString wanted = AsciiLower(FromAnsi(name));
  std::string found;
  while (dirent* e = ::readdir(dir)) {
    if (AsciiLower(FromAnsi(e->d_name)) == wanted) {
      std::string candidate = folder + kPathSeparatorA + e->d_name;
      if (IsFile(candidate)) {
        found = candidate;
        break;
      }
    }
  }
  ::closedir(dir);
  return found;
}

HMODULE Open(const std::string& path, bool fileKnown) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    SetLastError(fileKnown || IsFile(path) ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
  }
  return handle;
}

}  // namespace

HMODULE LoadLibraryW(const char16_t* name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string mapped = NativePath(MapLibraryName(name));
  if (mapped.find(kPathSeparatorA) != std::string::npos) return Open(mapped, false);

  std::string local = FindIgnoringCase(NativePath(ProgramFolder()), mapped);
  if (!local.empty()) return Open(local, true);
  // dlopen of a bare name searches the system's library path.
  return Open(mapped, false);
}

BOOL FreeLibrary(HMODULE module) {
  if (!module) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return ::dlclose(module) == 0 ? TRUE : FALSE;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (!module || !name) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  ::dlerror();
  void* sym = ::dlsym(module, name);
  if (!sym) SetLastError(ERROR_PROC_NOT_FOUND);
  return sym;
}

}  // namespace tallow
