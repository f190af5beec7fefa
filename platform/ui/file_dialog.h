// The save and open file dialogs and the folder browser. The layer reads the
// filter text and applies the default extension; a back end shows the
// picker and answers what the user chose.
#pragma once

#include <memory>
#include <vector>

#include "platform/text.h"
#include "platform/ui/ui_defs.h"
#include "platform/window_handle.h"

namespace tallow::ui {

class CDialog;

inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002u;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004u;

struct FileFilter {
  WString description;  // "PDF Files (*.pdf)"
  WString patterns;     // "*.pdf" or "*.tif;*.tiff"
};

struct FileDialogRequest {
  bool save = true;
  HWND owner = nullptr;
  WString defaultExtension;  // without the dot
  WString fileName;
  WString initialFolder;
  std::vector<FileFilter> filters;
  int filterIndex = 1;  // 1-based
  DWORD flags = 0;
};

// "Description|patterns|Description|patterns||": the pairs, up to the first
// empty description.
std::vector<FileFilter> ParseFileFilter(WStringView filter);

class CFileDialog {
 public:
  // Owned by |parent|; without one, by the main window (GetMainWindow) at
  // the time it opens.
  CFileDialog(BOOL openFileDialog, const char16_t* defaultExtension = nullptr,
              const char16_t* fileName = nullptr, DWORD flags = 0, const char16_t* filter = nullptr,
              CDialog* parent = nullptr);

  // IDOK with the chosen path, IDCANCEL otherwise. A name typed without an
  // extension gets that of the filter then chosen ("*.ext"), else the
  // default extension.
  int DoModal();
  WString GetPathName() const { return path_; }

  // What the other system's dialog structure holds that callers set and read.
  struct {
    WString lpstrInitialDir;
    DWORD nFilterIndex = 0;  // 1-based; 0 as 1
    DWORD Flags = 0;
  } m_ofn;

 private:
  FileDialogRequest request_;
  CDialog* parent_;
  WString path_;
};

// The folder browser (SHBrowseForFolder): the folder chosen, or null.
inline constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
struct BROWSEINFOW {
  HWND hwndOwner = nullptr;
  const char16_t* lpszTitle = nullptr;
  UINT ulFlags = 0;
};
struct ITEMIDLIST;
ITEMIDLIST* SHBrowseForFolderW(const BROWSEINFOW* info);
// The folder's path into |path| of |capacity| units with its NUL; FALSE when
// it does not fit or the list names no folder.
BOOL SHGetPathFromIDListEx(const ITEMIDLIST* list, char16_t* path, DWORD capacity);
// Frees what SHBrowseForFolderW answered; null does nothing.
void ILFree(ITEMIDLIST* list);

}  // namespace tallow::ui
