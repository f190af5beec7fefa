// The working folders beside the program file ("work/save", "work/preview")
// and its "setting" folder, and the write-access probes of a save target.
#pragma once

#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

// The folder beside the program file that holds the settings file.
inline constexpr char16_t kSettingFolderName[] = u"setting";

// Empty until the first CreateWorkFolders. Only CreateWorkFolders changes
// them, on the user-interface thread and never while a save runs.
WString SaveFolderPath();
WString PreviewFolderPath();
WString SettingFolderPath();

// Sets the three paths from the program file's folder and creates whatever
// of "work", "work/save", "work/preview" and "setting" is missing. Failures
// are silent: a folder that cannot be made shows up later as a failed
// download or save. Safe to call again at any time.
void CreateWorkFolders();

// Empties working folders of their files; holds no data, so any instance
// serves.
class CFolderCleaner {
 public:
  // Deletes every file below |path|, sub-folders included, but keeps the
  // folders themselves. A link is deleted as a link: what it points to is
  // never touched. Only the "work" folder that CreateWorkFolders made and
  // the folders below it ("save", "preview") are emptied, judged by their
  // real paths (links, "." and ".." resolved): any other folder is refused
  // and left as it is. 1 when the folder could be listed, 0 otherwise (also
  // for a refused or an empty path).
  int DeleteFolderContents(WStringView path) const;
};

// Whether a file can be made in |path|'s folder (|path| itself when it is a
// folder): creates and deletes a probe named by the current time stamp and
// ".vqd". A file that already has that name is left alone; the next
// second's name is tried instead.
BOOL IsFolderWritable(WStringView path);

// Whether a file of |nameLength| characters can be made in |folder|: tries a
// name built from the tick count that no file has yet. FALSE for a null or
// empty folder and for a negative length.
BOOL CanWriteFolder(const char16_t* folder, int nameLength);

// An existing file: whether it may be written (it is not touched). A missing
// one: whether it can be created; it is deleted again at once.
BOOL CanCreateFile(const char16_t* path);

}  // namespace tallow
