#include "convert/jpg_passthru_convertor.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/page_files.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace tallow {

namespace {

namespace fs = std::filesystem;

DWORD ErrorFrom(const std::error_code& ec) {
  DWORD error = Win32ErrorFromErrno(ec.value());
  return error != ERROR_SUCCESS ? error : ERROR_INVALID_DATA;
}

// Names tried for one hidden file before the page is given up.
constexpr int kHiddenNameTries = 100;

// One page of a save on its way to its name: its copy waits under a hidden
// name beside the target, and a file it replaces under another, so that a
// save that fails at any page can put the folder back as it was.
struct PageMove {
  fs::path target;
  fs::path staged;      // the page's copy; empty once it is under the target's name
  fs::path kept;        // the file the page replaces, moved aside; empty when none
  bool placed = false;  // the copy is under the target's name
};

// ERROR_SUCCESS when a page may go to |target|. A folder is refused as the
// other system refuses it, and so is a file that may not be written; both
// before anything is written, so that no page is placed in vain.
DWORD CheckTarget(const fs::path& target) {
  std::error_code ec;
  if (fs::is_directory(fs::status(target, ec))) return ERROR_ACCESS_DENIED;
  const WString wide = FromAnsi(target.native());
  if (AccessW(wide.c_str(), kAccessExists) == 0 && AccessW(wide.c_str(), kAccessWrite) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

// Puts a file under a new hidden name beside |target|, for page |index| of
// the save, into |made|. |make| puts it under the name it is given and
// fails with file_exists on a name that is taken, so that nobody's file is
// overwritten; whatever a failed |make| left is removed. The names are
// short, so that a target name near the length limit still has one.
template <typename Make>
DWORD MakeHiddenFile(const fs::path& target, const char* role, std::size_t index, Make make, fs::path& made) {
  for (int attempt = 0; attempt < kHiddenNameTries; ++attempt) {
    const fs::path name = target.parent_path() / (".tallow-" + std::string(role) + std::to_string(index) + "-" +
                                                  std::to_string(attempt) + ".part");
    const std::error_code ec = make(name);
    if (ec == std::errc::file_exists) continue;
    if (ec) {
      std::error_code ignored;
      fs::remove(name, ignored);
      return ErrorFrom(ec);
    }
    made = name;
    return ERROR_SUCCESS;
  }
  return ERROR_FILE_EXISTS;
}

// Copies |source| to a new hidden file beside the page's target; a file
// the page replaces lends the copy its permissions.
DWORD StagePage(const fs::path& source, std::size_t index, PageMove& page) {
  std::error_code ec;
  const fs::file_status replaced = fs::status(page.target, ec);
  const bool replacing = fs::is_regular_file(replaced);
  return MakeHiddenFile(page.target, "page", index, [&](const fs::path& name) {
    std::error_code made;
    if (fs::copy_file(source, name, fs::copy_options::none, made) && replacing) {
      fs::permissions(name, replaced.permissions(), fs::perm_options::replace, made);
    }
    return made;
  }, page.staged);
}

// Moves whatever is under the page's target name to a hidden name of its
// own, where it waits until every page is in place.
DWORD KeepReplaced(std::size_t index, PageMove& page) {
  std::error_code ec;
  if (fs::symlink_status(page.target, ec).type() == fs::file_type::not_found) return ERROR_SUCCESS;
  return MakeHiddenFile(page.target, "kept", index, [&](const fs::path& name) {
    std::error_code moved;
    // The name is claimed first, so that the move replaces nobody's file.
    std::FILE* claim = std::fopen(name.c_str(), "wx");
    if (!claim) return std::error_code(errno, std::generic_category());
    std::fclose(claim);
    fs::rename(page.target, name, moved);
    return moved;
  }, page.kept);
}

// Puts the folder back as it was before the save: each page's copy goes,
// and a replaced file returns to its name. A replaced file that cannot
// return stays under its hidden name rather than be lost.
void UndoPages(std::vector<PageMove>& pages) {
  for (PageMove& page : pages) {
    std::error_code ec;
    if (!page.kept.empty()) {
      // Over the page's copy, when placed, in one step.
      fs::rename(page.kept, page.target, ec);
      if (!ec) page.placed = false;
    }
    if (page.placed) fs::remove(page.target, ec);
    if (!page.staged.empty()) fs::remove(page.staged, ec);
  }
}

}  // namespace

HRESULT CJpgPassthruConvertor::Open(const char16_t* folder, const char16_t* name) {
  Reset();
  HRESULT hr = IConvertor::Open(folder, name);
  if (FAILED(hr)) return hr;
  if (m_outputPaths.empty()) return E_FAIL;
  m_baseOutputName = m_outputPaths.front();
  m_outputPaths.clear();
  return S_OK;
}

void CJpgPassthruConvertor::Reset() {
  IConvertor::Reset();
  m_baseOutputName.clear();
}

HRESULT CJpgPassthruConvertor::SetPageRange(int first, int last) {
  m_firstPage = first;
  m_lastPage = last;
  if (m_baseOutputName.empty()) return E_FAIL;
  // A made name was free as the one file Open knew of; the pages are what
  // is written.
  NameOutputs(IsNameMade() ? FreeMadeName() : m_baseOutputName);
  return S_OK;
}

WStringList CJpgPassthruConvertor::OutputPathsOf(const WString& name) const {
  WStringList paths;
  if (!m_baseOutputName.empty()) {
    CImageConvert().BuildPageFileNames(m_firstPage, m_lastPage, name, paths);
  }
  return paths;
}

void CJpgPassthruConvertor::NameOutputs(const WString& name) {
  m_baseOutputName = name;
  m_outputPaths.clear();
  CImageConvert().BuildPageFileNames(m_firstPage, m_lastPage, name, m_outputPaths);
}

HRESULT CJpgPassthruConvertor::Convert(const ImageInfo*, std::uint32_t documentId) {
  if (m_lastPage < m_firstPage) return S_OK;
  // One target per page, or nothing is copied: a list from another range
  // would put pages under the wrong numbers.
  const std::int64_t pageCount = std::int64_t{m_lastPage} - m_firstPage + 1;
  if (static_cast<std::int64_t>(m_outputPaths.size()) != pageCount) return E_FAIL;
  const auto fail = [](DWORD error) {
    SetLastError(error);
    return HRESULT_FROM_WIN32(error);
  };
  std::vector<PageMove> pages(m_outputPaths.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    pages[i].target = NativePath(m_outputPaths[i]);
    const DWORD error = CheckTarget(pages[i].target);
    if (error != ERROR_SUCCESS) return fail(error);
  }
  // Every page is copied before any takes its name, and none keeps it
  // unless all do: a save that fails leaves the folder as it was, rather
  // than pages that look like a saved document.
  for (std::size_t i = 0; i < pages.size(); ++i) {
    // The colour page as the download stored it.
    const WString source =
        PageFileName(m_workFolder, documentId, static_cast<int>(m_firstPage + static_cast<std::int64_t>(i)),
                     kImageFormatColor);
    const DWORD error = StagePage(NativePath(source), i, pages[i]);
    if (error != ERROR_SUCCESS) {
      UndoPages(pages);
      return fail(error);
    }
  }
  for (std::size_t i = 0; i < pages.size(); ++i) {
    DWORD error = KeepReplaced(i, pages[i]);
    std::error_code ec;
    if (error == ERROR_SUCCESS) {
      fs::rename(pages[i].staged, pages[i].target, ec);
      if (ec) error = ErrorFrom(ec);
    }
    if (error != ERROR_SUCCESS) {
      UndoPages(pages);
      return fail(error);
    }
    pages[i].staged.clear();
    pages[i].placed = true;
  }
  // Saved: the replaced files are let go.
  for (const PageMove& page : pages) {
    std::error_code ignored;
    if (!page.kept.empty()) fs::remove(page.kept, ignored);
  }
  return S_OK;
}

const char16_t* CJpgPassthruConvertor::GetExtension() const { return u".jpg"; }

void CImageConvert::BuildPageFileNames(int first, int last, const WString& base,
                                       WStringList& list) {
  const auto separator = base.rfind(kPathSeparator);
  const std::size_t nameStart = separator == WString::npos ? 0 : separator + 1;
  auto dot = base.rfind(u'.');
  // A "." in a folder name is no extension.
  if (dot == WString::npos || dot < nameStart) dot = base.size();
  // 64 bits, so that a range ending at the largest page number ends.
  for (std::int64_t page = first; page <= last; ++page) {
    WString name = base;
    name.insert(dot, FromAnsi(Format("-%d", static_cast<int>(page))));
    list.push_back(std::move(name));
  }
}

}  // namespace tallow
