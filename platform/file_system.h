// Files and folders as the system's own code needs them: folder tests,
// creating one folder level, deleting files, access tests, creating a file,
// and listing a folder.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

// TRUE when |path| names an existing folder (a link to one counts).
BOOL PathIsDirectoryW(const char16_t* path);

// Creates one folder level; FALSE with the last error set when that fails,
// ERROR_ALREADY_EXISTS included.
BOOL CreateDirectoryW(const char16_t* path);

// Deletes a file or a link, never a folder (whatever a link points to stays).
BOOL DeleteFileW(const char16_t* path);

// The absolute path of the existing file or folder |path| with every link,
// "." and ".." resolved and no separator at its end; FALSE, |real| emptied,
// when there is no such file or folder.
BOOL GetRealPathW(WStringView path, WString& real);

// Access test of the C library: mode 0 existence, 2 write, 4 read, 6 both.
// 0 when granted, -1 otherwise.
inline constexpr int kAccessExists = 0;
inline constexpr int kAccessWrite = 2;
int AccessW(const char16_t* path, int mode);

// How CreateAndCloseFileW treats a file that already exists.
enum class FileCreation {
  kNew,          // fail with ERROR_FILE_EXISTS, the file untouched
  kAlways,       // truncate it
  kOpenOrCreate  // open it as it is
};

// Opens |path| for reading and writing, creating it when missing, and closes
// it at once. FALSE with the last error set on failure.
BOOL CreateAndCloseFileW(const char16_t* path, FileCreation how);

// Lists a folder's entries in the order the file system returns them, "."
// and ".." included:
//   FileFinder f;
//   if (f.FindFile(folder, u"*")) while (f.FindNextFile()) use(f.GetFileName());
class FileFinder {
 public:
  // Takes the entries of |folder| whose names match |pattern| ("*" any run,
  // "?" one unit, ASCII letters of either case alike). FALSE when the folder
  // cannot be read or nothing matches.
  BOOL FindFile(WStringView folder, WStringView pattern);
  // Moves to the next entry; FALSE when none is left.
  BOOL FindNextFile();
  void Close();

  // The current entry's name, without its folder.
  const WString& GetFileName() const;
  // TRUE for a folder; a link is never one, whatever it points to.
  BOOL IsDirectory() const;
  BOOL IsDots() const;

 private:
  struct Entry {
    WString name;
    bool directory;
  };
  std::vector<Entry> entries_;
  std::size_t next_ = 0;
  const Entry* current_ = nullptr;
};

// Case-blind wildcard match of a file name, as FileFinder applies it.
bool MatchFileName(WStringView name, WStringView pattern);

}  // namespace tallow
