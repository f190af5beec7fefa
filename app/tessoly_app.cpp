#include "app/tessoly_app.h"

#include <optional>

#include "app/dialogs/progress_dlg.h"
#include "app/dialogs/select_mfp_dlg.h"
#include "app/main_window/main_dlg.h"
#include "core/file_utils.h"
#include "core/os_info.h"
#include "core/settings.h"
#include "core/text_format.h"
#include "core/texts.h"
#include "core/work_folders.h"
#include "device/discovery.h"
#include "device/sti_binding.h"
#include "device/xml_api_binding.h"
#include "platform/app_profile.h"
#include "platform/message_box.h"
#include "platform/path.h"
#include "platform/ui/dialog.h"

namespace tallow::app {

namespace {

constexpr std::int32_t kStartupCaptionId = 20005;
constexpr std::int32_t kStartupFormatId = 21101;  // one string argument: the file concerned
constexpr std::int32_t kAlreadyRunningId = 21014;

// The caption and the format of the start-up failure boxes, as the language
// sources gave them (empty without a text; absent only if the message table
// lost the id).
struct StartupTexts {
  std::optional<WString> caption = FindMessageText(kStartupCaptionId);
  std::optional<WString> format = FindMessageText(kStartupFormatId);

  const WString* Caption() const { return caption ? &*caption : nullptr; }
  const WString* Format() const { return format ? &*format : nullptr; }
};

// The format comes from a file the user can replace: the name is put in by
// our own substitution, never by a printf-style formatter.
void ShowStartupFailure(const WString* caption, const WString* format, WStringView name) {
  if (!caption || !format) return;
  const WString text = FormatWithString(*format, name);
  MessageBoxW(nullptr, text.c_str(), caption->c_str(), MB_ICONERROR);
}

}  // namespace

CTessolyApp::~CTessolyApp() {
  // The library objects free their modules as they go; nothing may still
  // reach into them, and the lock goes with its holder.
  UnbindLibraryEntries();
  if (m_hMutex) CloseHandle(m_hMutex);
}

BOOL CTessolyApp::InitInstance() {
  // The window layer needs no common-control or control-container set-up.
  LoadLanguageResources(nullptr);
  LoadMessageTable(MessageTable());
  LoadMessageTable(ProgressTextTable());
  LoadMessageTable(LabelTable());

  {
    const StartupTexts texts;
    if (FAILED(LoadHelperLibraries(texts.Caption(), texts.Format()))) {
      ExitInstance();
      return FALSE;
    }
  }

  HANDLE mutex = CreateMutexW(nullptr, TRUE, kInstanceMutexName);
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // The running instance is left alone. The handle holds nothing; it is
    // closed rather than dropped.
    MessageBoxW(nullptr, MessageText(kAlreadyRunningId).c_str(), nullptr, MB_TOPMOST | MB_ICONERROR);
    CloseHandle(mutex);
    return FALSE;
  }
  // Null when no lock could be made for another reason: the program runs
  // without one.
  m_hMutex = mutex;

  {
    const StartupTexts texts;
    if (FAILED(SetProfilePath(texts.Caption(), texts.Format()))) {
      ExitInstance();
      return FALSE;
    }
  }
  RunWindows();
  return FALSE;
}

void CTessolyApp::RunWindows() {
  AppSettings settings;
  settings.Load();
  const int hidden = settings.GetMFPInfo().isNotShowDlg;

  // Made only when it is to be seen: the selection dialog connects hidden
  // and stands in its place only when that fails. A window made and taken
  // down at once would still flash on the screen.
  std::optional<CProgressDlg> startup;
  if (hidden) startup.emplace(kProgressStarting, nullptr);
  if (RunSelectMfpDlg(hidden, startup ? &*startup : nullptr, settings, nullptr) != 1) return;

  CMainDlg mainDlg;
  ui::SetMainWindow(&mainDlg);
  if (startup) startup->DestroyWindow();
  mainDlg.DoModal();
  ui::SetMainWindow(nullptr);
}

HRESULT CTessolyApp::LoadHelperLibraries(const WString* caption, const WString* format) {
  CAutoLibrary* failed = nullptr;
  HRESULT hr = S_OK;
  const auto loaded = [&](CAutoLibrary& library, HRESULT result) {
    if (SUCCEEDED(result)) return true;
    failed = &library;
    hr = result;
    return false;
  };
  const bool ok = loaded(m_httpXmlLibrary, m_httpXmlLibrary.Load()) &&
                  loaded(m_searchAgentLibrary, m_searchAgentLibrary.Load()) &&
                  loaded(m_pdfCodecLibrary, m_pdfCodecLibrary.Load()) &&
                  loaded(m_tiffCodecLibrary, m_tiffCodecLibrary.Load()) &&
                  loaded(m_commonCodecLibrary, m_commonCodecLibrary.Load()) && [&] {
                    OsInfo os;
                    GetOsInfo(os);
                    // Where the probe says no, the program runs without USB.
                    return !ShouldLoadStillImage(os) ||
                           loaded(m_stidllLibrary, m_stidllLibrary.Load());
                  }();
  if (!ok) {
    ShowStartupFailure(caption, format, failed->GetFileName());
    return hr;
  }
  BindLibraryEntries();
  return S_OK;
}

HRESULT CTessolyApp::SetProfilePath(const WString* caption, const WString* format) {
  SetAppProfilePath({});
  WString iniName = u"ini";  // what the box names until the file's name is known
  const HRESULT hr = [&] {
    WString modulePath;
    HRESULT result = GetModuleFilePath(modulePath);
    if (FAILED(result)) return result;
    WString folder = modulePath;
    result = TruncateToFolder(folder);
    if (FAILED(result)) return result;
    WString name = modulePath;
    result = GetFileNamePart(name);
    if (FAILED(result)) return result;
    // The base name keeps its last dot; a name without one is taken whole.
    const std::size_t dot = name.rfind(u'.');
    iniName = (dot == WString::npos ? name + u"." : name.substr(0, dot + 1)) + u"ini";
    SetAppProfilePath(folder + kPathSeparator + kSettingFolderName + kPathSeparator + iniName);
    return S_OK;
  }();
  if (FAILED(hr)) ShowStartupFailure(caption, format, iniName);
  return hr;
}

int CTessolyApp::ExitInstance() {
  SetAppProfilePath({});
  UnbindLibraryEntries();
  CAutoLibrary* const libraries[] = {&m_stidllLibrary,     &m_httpXmlLibrary,
                                     &m_searchAgentLibrary, &m_pdfCodecLibrary,
                                     &m_tiffCodecLibrary,   &m_commonCodecLibrary};
  for (CAutoLibrary* library : libraries) library->Unload();
  ReleaseLanguageResources();
  // Both fail harmlessly without a lock.
  ReleaseMutex(m_hMutex);
  CloseHandle(m_hMutex);
  m_hMutex = nullptr;
  return 0;
}

void CTessolyApp::BindLibraryEntries() {
  BindXmlHttpApi(&m_httpXmlLibrary.Api());
  BindDiscoveryEntries(DiscoveryEntriesFrom(m_searchAgentLibrary.VKTGetDetectedMFPAddrW(),
                                            m_searchAgentLibrary.VKTGetDetectedMFPAddrSpecifyPortW(),
                                            m_searchAgentLibrary.VKTFreeMFPAddrW()));
  BindStiCreateInstance(m_stidllLibrary.StiCreateInstanceW());
  entriesBound_ = true;
}

void CTessolyApp::UnbindLibraryEntries() {
  // Only what this object bound: another owner's entries stay.
  if (!entriesBound_) return;
  BindXmlHttpApi(nullptr);
  UnbindDiscoveryEntries();
  BindStiCreateInstance(nullptr);
  entriesBound_ = false;
}

}  // namespace tallow::app
