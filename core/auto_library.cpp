#include "core/auto_library.h"

#include <cstring>

#include "core/file_utils.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace tallow {

namespace {

constexpr char16_t kHttpXmlName[] = u"kivor.dll";
constexpr char16_t kSearchAgentName[] = u"yomba.dll";
constexpr char16_t kPdfCodecName[] = u"pdfdumel.dll";
constexpr char16_t kTiffCodecName[] = u"tiffdumel.dll";
constexpr char16_t kCommonCodecName[] = u"dumel.dll";
constexpr char16_t kStiName[] = u"sti.dll";

// The libraries carry their names as the other system spells them; the file
// on this platform is what MapLibraryName makes of that.
WString LibraryFile(const char16_t* name) { return MapLibraryName(name); }

// The name a library is looked for under on the system's search path when
// the program folder holds none.
WString FallbackName(const char16_t* name) { return AnsiToWide("qel") + LibraryFile(name); }

// A failure whose last error is 0 must still read as a failure.
HRESULT LastErrorResult() {
  DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

constexpr const char* kCommonCodecExports[] = {"QelXMLEncode", "QelXMLDecode", "QelCodecFree"};

bool HasExports(HMODULE module, const char* const (&names)[3]) {
  for (const char* name : names) {
    if (!GetProcAddress(module, name)) return false;
  }
  return true;
}

// Loads the first candidate or, when that does not load, the fallback name.
// Only the first candidate is ever tried.
HRESULT LoadFirstCandidate(CAutoLibrary& library, const char16_t* name) {
  HRESULT hr = library.CAutoLibrary::Load(FindDllCandidate(name).c_str());
  if (FAILED(hr)) hr = library.CAutoLibrary::Load(FallbackName(name).c_str());
  return hr;
}

}  // namespace

HRESULT FindDllCandidates(const char16_t* name, WStringList& list) {
  if (!name) return E_INVALIDARG;
  WString folder;
  if (FAILED(GetModuleFilePath(folder, nullptr)) || FAILED(TruncateToFolder(folder))) return S_OK;
  if (folder.empty() || folder.back() != kPathSeparator) folder.push_back(kPathSeparator);
  const WString pattern = u"*" + MapLibraryName(u".dll");
  const WString wanted = AsciiLower(LibraryFile(name));

  FileFinder finder;
  if (!finder.FindFile(folder, pattern)) return S_OK;
  while (finder.FindNextFile()) {
    WString found = AsciiLower(finder.GetFileName());
    if (found.find(wanted) != WString::npos) list.push_back(std::move(found));
  }
  return S_OK;
}

WString FindDllCandidate(const char16_t* name) {
  WStringList list;
  if (FAILED(FindDllCandidates(name, list)) || list.empty()) return {};
  return list.front();
}

// ---- CAutoLibrary

CAutoLibrary::~CAutoLibrary() { CAutoLibrary::Unload(); }

HRESULT CAutoLibrary::Load(const char16_t* path) {
  // Copied first: |path| may point into the stored path that Unload empties.
  const bool isNull = path == nullptr;
  WString name = isNull ? WString() : WString(path);
  Unload();
  if (isNull || name.empty()) return E_INVALIDARG;
  m_path = std::move(name);
  m_hModule = LoadLibraryW(m_path.c_str());
  if (!m_hModule) return LastErrorResult();
  return S_OK;
}

void CAutoLibrary::Unload() {
  if (m_hModule) {
    FreeLibrary(m_hModule);
    m_hModule = nullptr;
  }
  m_path.clear();
}

const char16_t* CAutoLibrary::GetFileName() const {
  auto pos = m_path.rfind(kPathSeparator);
  return pos == WString::npos ? m_path.c_str() : m_path.c_str() + pos + 1;
}

// ---- CHttpXMLLibrary

CHttpXMLLibrary::~CHttpXMLLibrary() { Unload(); }

void CHttpXMLLibrary::Unload() {
  CAutoLibrary::Unload();
  m_getHTTPXML = nullptr;
  std::memset(static_cast<void*>(&m_api), 0, sizeof m_api);
}

HRESULT CHttpXMLLibrary::Load() {
  Unload();
  HRESULT hr = LoadFirstCandidate(*this, kHttpXmlName);
  if (FAILED(hr)) return hr;
  m_getHTTPXML = reinterpret_cast<GetHTTPXMLFn>(GetProcAddress(GetModule(), "GetHTTPXML"));
  if (!m_getHTTPXML) {
    hr = LastErrorResult();
    Unload();
    return hr;
  }
  if (m_getHTTPXML(&m_api, static_cast<std::uint32_t>(sizeof m_api)) == 0) {
    Unload();
    return E_FAIL;
  }
  return S_OK;
}

// ---- CSearchAgentLibrary

CSearchAgentLibrary::~CSearchAgentLibrary() { Unload(); }

void CSearchAgentLibrary::Unload() {
  CAutoLibrary::Unload();
  m_getDetected = nullptr;
  m_getDetectedSpecifyPort = nullptr;
  m_free = nullptr;
}

HRESULT CSearchAgentLibrary::Load() {
  Unload();
  HRESULT hr = LoadFirstCandidate(*this, kSearchAgentName);
  if (FAILED(hr)) return hr;
  m_getDetected = GetProcAddress(GetModule(), "VKTGetDetectedMFPAddrW");
  m_free = GetProcAddress(GetModule(), "VKTFreeMFPAddrW");
  if (!m_getDetected || !m_free) {
    hr = LastErrorResult();
    Unload();
    return hr;
  }
  // Optional: older libraries search on their own port only.
  m_getDetectedSpecifyPort = GetProcAddress(GetModule(), "VKTGetDetectedMFPAddrSpecifyPortW");
  return S_OK;
}

// ---- CPDFCodecLibrary, CTiffCodecLibrary

CPDFCodecLibrary::~CPDFCodecLibrary() { Unload(); }

void CPDFCodecLibrary::Unload() {
  CAutoLibrary::Unload();
  m_encode = nullptr;
}

HRESULT CPDFCodecLibrary::Load() {
  Unload();
  HRESULT hr = LoadFirstCandidate(*this, kPdfCodecName);
  if (FAILED(hr)) return hr;
  m_encode = GetProcAddress(GetModule(), "PDF_Encode");
  if (!m_encode) {
    hr = LastErrorResult();
    Unload();
    return hr;
  }
  return S_OK;
}

CTiffCodecLibrary::~CTiffCodecLibrary() { Unload(); }

void CTiffCodecLibrary::Unload() {
  CAutoLibrary::Unload();
  m_encode = nullptr;
}

HRESULT CTiffCodecLibrary::Load() {
  Unload();
  HRESULT hr = LoadFirstCandidate(*this, kTiffCodecName);
  if (FAILED(hr)) return hr;
  m_encode = GetProcAddress(GetModule(), "MultiTiffEncode");
  if (!m_encode) {
    hr = LastErrorResult();
    Unload();
    return hr;
  }
  return S_OK;
}

// ---- CCommonCodecLibrary

HRESULT CCommonCodecLibrary::Load() {
  Unload();
  WStringList candidates;
  FindDllCandidates(kCommonCodecName, candidates);
  // "pdfdumel" and "tiffdumel" match too, so a candidate without the three
  // exports only means: go on with the next one.
  for (const WString& candidate : candidates) {
    if (SUCCEEDED(CAutoLibrary::Load(candidate.c_str())) && HasExports(GetModule(), kCommonCodecExports)) {
      return S_OK;
    }
  }
  HRESULT hr = CAutoLibrary::Load(FallbackName(kCommonCodecName).c_str());
  if (FAILED(hr)) {
    Unload();
    return hr;
  }
  if (!HasExports(GetModule(), kCommonCodecExports)) {
    hr = LastErrorResult();
    Unload();
    return hr;
  }
  return S_OK;
}

// ---- CStidllLibrary

CStidllLibrary::~CStidllLibrary() { Unload(); }

void CStidllLibrary::Unload() {
  CAutoLibrary::Unload();
  m_createInstance = nullptr;
}

HRESULT CStidllLibrary::Load() {
  Unload();
  HRESULT hr = CAutoLibrary::Load(LibraryFile(kStiName).c_str());
  if (FAILED(hr)) return hr;
  m_createInstance = GetProcAddress(GetModule(), "StiCreateInstanceW");
  if (!m_createInstance) {
    hr = LastErrorResult();
    Unload();
    return hr;
  }
  return S_OK;
}

}  // namespace tallow
