#include "convert/convertor.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "convert/jpg_passthru_convertor.h"
#include "convert/pdf_tiff_convertors.h"
#include "core/file_utils.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace tallow {

namespace {

// An environment variable that is set and not empty.
bool ReadEnvironmentFolder(const char* name, WString& folder) {
  const char* value = std::getenv(name);
  if (!value || !*value) return false;
  folder = FromAnsi(std::string_view(value, std::strlen(value)));
  return true;
}

// Extensions in the order they are compared.
struct ExtensionType {
  const char16_t* extension;
  ConvertorType type;
};
constexpr ExtensionType kExtensionTypes[] = {
    {u"pdf", kConvertorPdf},  {u"tif", kConvertorTiff},  {u"tiff", kConvertorTiff},
    {u"jpg", kConvertorJpeg}, {u"jpeg", kConvertorJpeg},
};

// Made names tried for one stamp before the plain one is kept, and with it
// the save flow's question.
constexpr int kMadeNameTries = 9999;

// Whether the folder holds an entry under |path|: a file, a folder, or a
// link, also one that leads nowhere (writing through it would make a file
// elsewhere). What cannot be told counts as taken.
bool IsNameTaken(const WString& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(NativePath(path), ec).type() !=
         std::filesystem::file_type::not_found;
}

}  // namespace

// ---- IConvertor

HRESULT IConvertor::Open(const char16_t* folder, const char16_t* name) {
  Reset();
  if (!folder) return E_INVALIDARG;
  if (!PathIsDirectoryW(folder)) return E_FAIL;
  WString path(folder);
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
  if (name) {
    path += name;
  } else {
    const std::int64_t now = GetCurrentTime64();
    madeStem_ = path + FormatFileTimeStamp(&now);
    path = FreeMadeName();
  }
  m_outputPaths.clear();
  m_outputPaths.push_back(std::move(path));
  SetWorkFolder(nullptr);
  return S_OK;
}

void IConvertor::Reset() {
  m_outputPaths.clear();
  m_workFolder.clear();
  m_firstPage = 0;
  m_lastPage = 0;
  madeStem_.clear();
}

void IConvertor::KeepMadeNameFree() {
  if (IsNameMade()) NameOutputs(FreeMadeName());
}

WStringList IConvertor::OutputPathsOf(const WString& name) const { return {name}; }

void IConvertor::NameOutputs(const WString& name) { m_outputPaths = {name}; }

WString IConvertor::FreeMadeName() const {
  const WString extension = GetExtension();
  for (int n = 1; n <= kMadeNameTries; ++n) {
    WString name = madeStem_;
    if (n > 1) name += FromAnsi(Format("_%d", n));
    name += extension;
    bool taken = false;
    for (const WString& path : OutputPathsOf(name)) taken = taken || IsNameTaken(path);
    if (!taken) return name;
  }
  return madeStem_ + extension;
}

HRESULT IConvertor::Convert(const ImageInfo*, std::uint32_t) { return E_NOTIMPL; }

const char16_t* IConvertor::GetExtension() const { return u".tmp"; }

HRESULT IConvertor::SetWorkFolder(const char16_t* folder) {
  if (!folder) {
    WString temp;
    GetTempFolder(temp);
    m_workFolder = std::move(temp);
    return S_OK;
  }
  if (!PathIsDirectoryW(folder)) return E_FAIL;
  m_workFolder = folder;
  return S_OK;
}

HRESULT IConvertor::SetPageRange(int first, int last) {
  m_firstPage = first;
  m_lastPage = last;
  return S_OK;
}

// ---- factory and helpers

IConvertor* CreateConvertor(BOOL mono, IConvertor*& slot, ConvertorType type) {
  DeleteConvertor(slot);
  switch (type) {
    case kConvertorPdf:
      if (mono) slot = new (std::nothrow) CMonoPdfConvertor();
      else slot = new (std::nothrow) CColorPdfConvertor();
      break;
    case kConvertorTiff:
      if (mono) slot = new (std::nothrow) CTiffConvertor();
      break;
    case kConvertorJpeg:
      if (!mono) slot = new (std::nothrow) CJpgPassthruConvertor();
      break;
    default:
      break;
  }
  return slot;
}

void DeleteConvertor(IConvertor*& slot) {
  delete slot;
  slot = nullptr;
}

ConvertorType GetConvertorType(const char16_t* name) {
  if (!name) return kConvertorNone;
  const WStringView text(name, WideLength(name));
  const auto dot = text.rfind(u'.');
  if (dot == WStringView::npos) return kConvertorNone;
  const WString extension = AsciiLower(text.substr(dot + 1));
  for (const ExtensionType& entry : kExtensionTypes) {
    if (extension == entry.extension) return entry.type;
  }
  return kConvertorNone;
}

BOOL IsValidSaveName(const char16_t* name, BOOL mono) {
  if (!name) return FALSE;
  IConvertor* trial = nullptr;
  const BOOL valid = CreateConvertor(mono, trial, GetConvertorType(name)) != nullptr ? TRUE : FALSE;
  DeleteConvertor(trial);
  return valid;
}

int GetLongestFileNameLength(const WStringList& paths) {
  std::size_t longest = 0;
  for (const WString& path : paths) {
    const auto separator = path.rfind(kPathSeparator);
    if (separator == WString::npos) continue;
    const std::size_t length = NativePath(WStringView(path).substr(separator + 1)).size();
    if (length > longest) longest = length;
  }
  constexpr std::size_t kIntMax = static_cast<std::size_t>(~0u >> 1);
  return static_cast<int>(longest > kIntMax ? kIntMax : longest);
}

BOOL GetTempFolder(WString& folder) {
  if (ReadEnvironmentFolder("TEMP", folder)) return TRUE;
  // This platform names its temporary folder by TMPDIR, and /tmp always exists.
  if (ReadEnvironmentFolder("TMPDIR", folder)) return TRUE;
  folder = u"/tmp";
  return TRUE;
}

}  // namespace tallow
