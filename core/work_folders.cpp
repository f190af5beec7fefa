#include "core/work_folders.h"

#include <mutex>

#include "core/file_utils.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace tallow {

namespace {

struct FolderPaths {
  WString work;  // holds the other two; kept only to judge what may be emptied
  WString save;
  WString preview;
  WString setting;
};

// Function-local, so that code running before main may read the paths.
FolderPaths& Paths() {
  static FolderPaths paths;
  return paths;
}

std::mutex& PathsLock() {
  static std::mutex lock;
  return lock;
}

void CreateFolderIfMissing(const WString& folder) {
  if (!PathIsDirectoryW(folder.c_str())) CreateDirectoryW(folder.c_str());
}

WString Separator() { return WString(1, kPathSeparator); }

// Probe names are tried for this many seconds from now before giving up.
constexpr int kProbeNameTries = 16;

// Longest file name whose probe is attempted at all; longer ones can never
// be made, and doubling the name up to them would only waste memory.
constexpr int kLongestProbeName = 32767;

constexpr int kTickNameTries = 32;

// Whether the resolved path |real| is the resolved folder |root| or lies
// below it: a name that merely starts like it ("work2") does not.
bool IsAtOrBelow(const WString& real, const WString& root) {
  if (root.empty() || real.compare(0, root.size(), root) != 0) return false;
  return real.size() == root.size() || root.back() == kPathSeparator ||
         real[root.size()] == kPathSeparator;
}

// The real path of |path| when it is the "work" folder or lies below it;
// empty otherwise, and before CreateWorkFolders has set the paths.
WString RealWorkFolderPath(WStringView path) {
  WString work;
  {
    std::lock_guard<std::mutex> lock(PathsLock());
    work = Paths().work;
  }
  WString root;
  WString real;
  if (work.empty() || !GetRealPathW(work, root) || !GetRealPathW(path, real)) return {};
  return IsAtOrBelow(real, root) ? real : WString();
}

// Deletes the files below the real folder |folder|. Its sub-folders are
// listed as folders only when they are no links, so the walk stays below it.
int EmptyFolder(const WString& folder) {
  FileFinder finder;
  if (!finder.FindFile(folder, u"*")) return 0;
  while (finder.FindNextFile()) {
    if (finder.IsDots()) continue;
    const WString full = folder + Separator() + finder.GetFileName();
    if (finder.IsDirectory()) {
      EmptyFolder(full);
    } else {
      DeleteFileW(full.c_str());
    }
  }
  finder.Close();
  return 1;
}

}  // namespace

WString SaveFolderPath() {
  std::lock_guard<std::mutex> lock(PathsLock());
  return Paths().save;
}

WString PreviewFolderPath() {
  std::lock_guard<std::mutex> lock(PathsLock());
  return Paths().preview;
}

WString SettingFolderPath() {
  std::lock_guard<std::mutex> lock(PathsLock());
  return Paths().setting;
}

void CreateWorkFolders() {
  WString base;
  if (FAILED(GetModuleFilePath(base, nullptr))) return;
  if (!PathIsDirectoryW(base.c_str())) {
    auto pos = base.rfind(kPathSeparator);
    if (pos == WString::npos) return;
    base.erase(pos);
  }
  const WString work = base + Separator() + u"work";
  FolderPaths fresh{work, work + Separator() + u"save", work + Separator() + u"preview",
                    base + Separator() + kSettingFolderName};
  {
    std::lock_guard<std::mutex> lock(PathsLock());
    Paths() = fresh;
  }
  // Parents first: folders are made one level at a time.
  CreateFolderIfMissing(work);
  CreateFolderIfMissing(fresh.save);
  CreateFolderIfMissing(fresh.preview);
  CreateFolderIfMissing(fresh.setting);
}

int CFolderCleaner::DeleteFolderContents(WStringView path) const {
  // An empty path would otherwise become the pattern of the root folder.
  if (path.empty()) return 0;
  // Whatever folder a caller names, only the program's own pages go: the
  // user's files elsewhere are never touched.
  const WString folder = RealWorkFolderPath(path);
  if (folder.empty()) return 0;
  return EmptyFolder(folder);
}

BOOL IsFolderWritable(WStringView path) {
  WString folder(path);
  if (!PathIsDirectoryW(folder.c_str())) {
    auto pos = folder.rfind(kPathSeparator);
    if (pos == WString::npos) return FALSE;
    folder.erase(pos);
  }
  const std::int64_t now = GetCurrentTime64();
  for (int i = 0; i < kProbeNameTries; ++i) {
    const std::int64_t when = now + i;
    WString probe = folder + Separator() + FormatFileTimeStamp(&when) + u".vqd";
    // Made only when new, so that a file of the user's that happens to have
    // the probe's name is neither emptied nor deleted.
    if (CreateAndCloseFileW(probe.c_str(), FileCreation::kNew)) {
      return DeleteFileW(probe.c_str());
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return FALSE;
  }
  return FALSE;
}

BOOL CanWriteFolder(const char16_t* folder, int nameLength) {
  if (!folder || !*folder) return FALSE;
  if (nameLength < 0 || nameLength > kLongestProbeName) return FALSE;
  WString base(folder);
  if (base.back() != kPathSeparator) base.push_back(kPathSeparator);

  const auto length = static_cast<std::size_t>(nameLength);
  for (int i = 0; i < kTickNameTries; ++i) {
    // The tick count as a signed number: above 2147483647 it reads "-...".
    WString name = FromAnsi(Format("%d", static_cast<int>(GetTickCount())));
    while (name.size() < length) name += name;
    name.resize(length);
    WString candidate = base + name;
    if (AccessW(candidate.c_str(), kAccessExists) != 0) return CanCreateFile(candidate.c_str());
  }
  return FALSE;
}

BOOL CanCreateFile(const char16_t* path) {
  if (!path) return FALSE;
  if (AccessW(path, kAccessExists) == 0) return AccessW(path, kAccessWrite) == 0 ? TRUE : FALSE;
  // Made only when new, so that the deletion below can only remove our own
  // file, even if another one appeared since the test above.
  if (!CreateAndCloseFileW(path, FileCreation::kNew)) {
    if (GetLastError() == ERROR_FILE_EXISTS) return AccessW(path, kAccessWrite) == 0 ? TRUE : FALSE;
    return FALSE;
  }
  DeleteFileW(path);
  return TRUE;
}

}  // namespace tallow
