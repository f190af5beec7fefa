// Run-time loading of the closed libraries: one object per library finds its
// file, loads it and keeps the addresses of the exports the system calls.
// A library is looked for among the program folder's libraries whose names
// contain the wanted one (case ignored), then as "qel" + its name on the
// system's library search path. A library that loads but lacks a required
// export counts as missing.
#pragma once

#include "contracts/xml_http_api.h"
#include "platform/library.h"
#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

// Appends to |list| the program folder's libraries whose lower-cased names
// contain the lower-cased |name| ("kivor.dll" also matches "KIVOR.DLL" and
// "qelkivor.dll"), in the order the file system lists them, as lower-cased
// bare names. E_INVALIDARG for a null name; S_OK otherwise, also when
// nothing was found.
HRESULT FindDllCandidates(const char16_t* name, WStringList& list);
// The first of those candidates, or empty.
WString FindDllCandidate(const char16_t* name);

// One loaded library: unloaded (no module, empty path) or loaded.
class CAutoLibrary {
 public:
  CAutoLibrary() = default;
  virtual ~CAutoLibrary();
  CAutoLibrary(const CAutoLibrary&) = delete;
  CAutoLibrary& operator=(const CAutoLibrary&) = delete;

  // Unloads first (through the object's own Unload), then loads |path|.
  // E_INVALIDARG for a null or empty path. When the library does not load,
  // the path stays stored so that a failure message can name the file.
  virtual HRESULT Load(const char16_t* path);
  // Frees the module and empties the path; nothing happens when unloaded.
  virtual void Unload();

  // The stored path behind its last separator (the whole path without one);
  // what a failure message names.
  const char16_t* GetFileName() const;

  HMODULE GetModule() const { return m_hModule; }
  // Exactly as last handed to LoadLibraryW.
  const WString& GetPath() const { return m_path; }

 private:
  HMODULE m_hModule = nullptr;
  WString m_path;
};

// "kivor.dll": its GetHTTPXML fills the XML and HTTP function table.
class CHttpXMLLibrary : public CAutoLibrary {
 public:
  ~CHttpXMLLibrary() override;
  using CAutoLibrary::Load;
  HRESULT Load();
  void Unload() override;

  GetHTTPXMLFn GetHTTPXMLAddress() const { return m_getHTTPXML; }
  // All zero while unloaded.
  const XmlHttpApi& Api() const { return m_api; }

 private:
  GetHTTPXMLFn m_getHTTPXML = nullptr;
  XmlHttpApi m_api{};
};

// "yomba.dll", the discovery library. The addresses are handed out as they
// came from the library; the discovery code casts them to its signatures.
class CSearchAgentLibrary : public CAutoLibrary {
 public:
  ~CSearchAgentLibrary() override;
  using CAutoLibrary::Load;
  HRESULT Load();
  void Unload() override;

  FARPROC VKTGetDetectedMFPAddrW() const { return m_getDetected; }
  // May be null while the library is loaded: the library searches on its
  // own port then.
  FARPROC VKTGetDetectedMFPAddrSpecifyPortW() const { return m_getDetectedSpecifyPort; }
  FARPROC VKTFreeMFPAddrW() const { return m_free; }

 private:
  FARPROC m_getDetected = nullptr;
  FARPROC m_getDetectedSpecifyPort = nullptr;
  FARPROC m_free = nullptr;
};

// "pdfdumel.dll".
class CPDFCodecLibrary : public CAutoLibrary {
 public:
  ~CPDFCodecLibrary() override;
  using CAutoLibrary::Load;
  HRESULT Load();
  void Unload() override;

  FARPROC PDF_Encode() const { return m_encode; }

 private:
  FARPROC m_encode = nullptr;
};

// "tiffdumel.dll".
class CTiffCodecLibrary : public CAutoLibrary {
 public:
  ~CTiffCodecLibrary() override;
  using CAutoLibrary::Load;
  HRESULT Load();
  void Unload() override;

  FARPROC MultiTiffEncode() const { return m_encode; }

 private:
  FARPROC m_encode = nullptr;
};

// "dumel.dll": only has to export QelXMLEncode, QelXMLDecode and
// QelCodecFree; nothing calls them. Every candidate is tried in turn, since
// "dumel" is also part of the other codec libraries' names.
class CCommonCodecLibrary : public CAutoLibrary {
 public:
  using CAutoLibrary::Load;
  HRESULT Load();
};

// "sti.dll", by its plain name only.
class CStidllLibrary : public CAutoLibrary {
 public:
  ~CStidllLibrary() override;
  using CAutoLibrary::Load;
  HRESULT Load();
  void Unload() override;

  FARPROC StiCreateInstanceW() const { return m_createInstance; }

 private:
  FARPROC m_createInstance = nullptr;
};

}  // namespace tallow
