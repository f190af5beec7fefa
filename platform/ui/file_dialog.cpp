#include "platform/ui/file_dialog.h"

#include "platform/ui/backend.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

std::vector<FileFilter> ParseFileFilter(WStringView filter) {
  std::vector<FileFilter> filters;
  std::size_t at = 0;
  while (at < filter.size()) {
    const std::size_t bar = filter.find(u'|', at);
    if (bar == WStringView::npos) break;
    const WStringView description = filter.substr(at, bar - at);
    if (description.empty()) break;
    std::size_t end = filter.find(u'|', bar + 1);
    if (end == WStringView::npos) end = filter.size();
    filters.push_back(FileFilter{WString(description), WString(filter.substr(bar + 1, end - bar - 1))});
    at = end + 1;
  }
  return filters;
}

namespace {

// The extension a filter stands for: that of its first pattern when it is a
// plain "*.ext".
WString FilterExtension(const FileFilter& filter) {
  const WStringView first = WStringView(filter.patterns).substr(0, filter.patterns.find(u';'));
  if (first.size() < 3 || first.substr(0, 2) != u"*.") return WString();
  const WStringView ext = first.substr(2);
  if (ext.find_first_of(u"*?.") != WStringView::npos) return WString();
  return WString(ext);
}

bool HasExtension(WStringView path) {
  const std::size_t slash = path.find_last_of(u'/');
  const WStringView name = slash == WStringView::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of(u'.');
  return dot != WStringView::npos && dot + 1 < name.size();
}

}  // namespace

CFileDialog::CFileDialog(BOOL openFileDialog, const char16_t* defaultExtension,
                         const char16_t* fileName, DWORD flags, const char16_t* filter,
                         CDialog* parent)
    : parent_(parent) {
  request_.save = !openFileDialog;
  if (defaultExtension) request_.defaultExtension = defaultExtension;
  if (fileName) request_.fileName = fileName;
  if (filter) request_.filters = ParseFileFilter(filter);
  m_ofn.Flags = flags;
}

int CFileDialog::DoModal() {
  return CallOnUi([&] {
    UiBackend* backend = CurrentBackend();
    if (!backend) return IDCANCEL;
    FileDialogRequest request = request_;
    // Without a parent, the main window of the moment owns it.
    const ModalOwnerScope owned(parent_ ? parent_->GetSafeHwnd() : nullptr);
    request.owner = owned.Owner();
    request.initialFolder = m_ofn.lpstrInitialDir;
    request.flags = m_ofn.Flags;
    const int count = static_cast<int>(request.filters.size());
    request.filterIndex = m_ofn.nFilterIndex == 0 ? 1 : static_cast<int>(m_ofn.nFilterIndex);
    if (count > 0 && request.filterIndex > count) request.filterIndex = 1;

    WString path;
    int index = request.filterIndex;
    if (backend->RunFileDialog(request, &path, &index) != IDOK || path.empty()) return IDCANCEL;
    if (index < 1 || index > count) index = request.filterIndex;
    m_ofn.nFilterIndex = static_cast<DWORD>(index);
    if (!HasExtension(path)) {
      WString ext = count > 0 ? FilterExtension(request.filters[index - 1]) : WString();
      if (ext.empty()) ext = request.defaultExtension;
      if (!ext.empty()) path += u"." + ext;
    }
    path_ = std::move(path);
    return IDOK;
  });
}

struct ITEMIDLIST {
  WString path;
};

ITEMIDLIST* SHBrowseForFolderW(const BROWSEINFOW* info) {
  return CallOnUi([&]() -> ITEMIDLIST* {
    UiBackend* backend = CurrentBackend();
    if (!backend || !info) return nullptr;
    WString folder;
    const WStringView title = info->lpszTitle ? WStringView(info->lpszTitle) : WStringView();
    const ModalOwnerScope owned(info->hwndOwner);
    if (backend->BrowseForFolder(owned.Owner(), title, &folder) != IDOK) return nullptr;
    return new ITEMIDLIST{std::move(folder)};
  });
}

BOOL SHGetPathFromIDListEx(const ITEMIDLIST* list, char16_t* path, DWORD capacity) {
  if (!list || !path || capacity == 0) return FALSE;
  if (list->path.empty() || list->path.size() >= capacity) {
    path[0] = u'\0';
    return FALSE;
  }
  list->path.copy(path, list->path.size());
  path[list->path.size()] = u'\0';
  return TRUE;
}

void ILFree(ITEMIDLIST* list) { delete list; }

}  // namespace tallow::ui
