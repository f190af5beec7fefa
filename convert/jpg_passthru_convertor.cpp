#include "convert/jpg_passthru_convertor.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

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

// Copies |source| over |target| (allowed to exist) and returns the system
// error, ERROR_SUCCESS when copied. The copy goes to a new file beside the
// target first and replaces it by a rename, so a failed copy never leaves a
// cut file, nor spoils a file that was there; a replaced file's permissions
// stay those of the file. An existing target that may not be written is
// refused as the other system refuses it.
DWORD CopyPageFile(const WString& source, const WString& target) {
  if (AccessW(target.c_str(), kAccessExists) == 0 && AccessW(target.c_str(), kAccessWrite) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  const fs::path from(NativePath(source));
  const fs::path to(NativePath(target));
  std::error_code ec;
  const fs::file_status replaced = fs::status(to, ec);
  const bool replacing = fs::is_regular_file(replaced);
  for (int attempt = 0; attempt < 100; ++attempt) {
    // A short name, so that a target name near the length limit still has one.
    const fs::path temporary =
        to.parent_path() / (".tallow-page" + std::to_string(attempt) + ".part");
    // Fails on an existing name, so that nobody's file is overwritten.
    if (!fs::copy_file(from, temporary, fs::copy_options::none, ec)) {
      if (ec == std::errc::file_exists) continue;
      // Whatever a failed copy left under the new name is ours.
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return ErrorFrom(ec);
    }
    if (replacing) fs::permissions(temporary, replaced.permissions(), fs::perm_options::replace, ec);
    if (!ec) fs::rename(temporary, to, ec);
    if (ec) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return ErrorFrom(ec);
    }
    return ERROR_SUCCESS;
  }
  return ERROR_FILE_EXISTS;
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
  for (std::int64_t i = 0; i < pageCount; ++i) {
    // The colour page as the download stored it.
    const WString source =
        PageFileName(m_workFolder, documentId, static_cast<int>(m_firstPage + i), kImageFormatColor);
    const DWORD error = CopyPageFile(source, m_outputPaths[static_cast<std::size_t>(i)]);
    if (error != ERROR_SUCCESS) {
      SetLastError(error);
      return HRESULT_FROM_WIN32(error);
    }
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
