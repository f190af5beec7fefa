// The application object: the program from its start to its end. It owns
// the closed libraries, the single-instance lock and the settings file's
// path. InitInstance runs the whole program (texts, libraries, the lock,
// the settings, the MFP selection, the main window) and always answers
// FALSE; ExitInstance then releases everything and gives the exit code.
#pragma once

#include "core/auto_library.h"
#include "platform/named_mutex.h"
#include "platform/result.h"
#include "platform/text.h"

namespace tallow::app {

// The name of the single-instance lock.
inline constexpr char16_t kInstanceMutexName[] = u"Tallowmere.exe";

class CTessolyApp {
 public:
  CTessolyApp() = default;
  ~CTessolyApp();
  CTessolyApp(const CTessolyApp&) = delete;
  CTessolyApp& operator=(const CTessolyApp&) = delete;

  // The whole run on the UI thread, whose back end must be attached; always
  // FALSE. On a failed library load or settings path it has already run
  // ExitInstance, which the caller runs again.
  BOOL InitInstance();
  // Releases what the application holds, each step leaving its resource
  // cleared, so a second run does nothing more. The exit code: 0.
  int ExitInstance();

  // Loads the libraries in their order (the Still Image library only where
  // the system probe allows it) and binds their entries for the dialogs and
  // channels. On the first failure: the box |format| with the file name
  // tried last, captioned |caption| (neither shown unless both are there),
  // and that failure's result; the libraries loaded before it stay.
  HRESULT LoadHelperLibraries(const WString* caption, const WString* format);
  // The settings file: "setting/<base name>.ini" beside the program file,
  // the base name being the file's name up to its last "."; a name without
  // one is taken whole. A failure is reported as LoadHelperLibraries does,
  // naming the INI file, or "ini" when the name was not reached.
  HRESULT SetProfilePath(const WString* caption, const WString* format);

  // Members, in the order they are built.
  CStidllLibrary m_stidllLibrary;
  CHttpXMLLibrary m_httpXmlLibrary;
  CSearchAgentLibrary m_searchAgentLibrary;
  CPDFCodecLibrary m_pdfCodecLibrary;
  CTiffCodecLibrary m_tiffCodecLibrary;
  CCommonCodecLibrary m_commonCodecLibrary;
  HANDLE m_hMutex = nullptr;  // the single-instance lock, while held

 private:
  // The entries the dialogs and channels call, from the loaded libraries.
  void BindLibraryEntries();
  void UnbindLibraryEntries();
  // Runs the MFP selection and, once an MFP is chosen, the main window.
  void RunWindows();

  bool entriesBound_ = false;
};

}  // namespace tallow::app
