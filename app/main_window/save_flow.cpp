// The save road: the document selected in the Advanced view (a page range,
// under a name the user chooses) or the one the Simple view shows (whole,
// under a time-stamp name in the configured folder) becomes a file on disk
// through a writer, checked before the save worker starts; after a complete
// save the document may be deleted on the device.
#include "app/main_window/main_dlg.h"
#include "core/file_utils.h"
#include "core/text_format.h"
#include "device/channel_layer.h"
#include "platform/cursor.h"
#include "platform/ui/file_dialog.h"

namespace tallow::app {

using namespace tallow::ui;

namespace {

constexpr const char16_t* kMonoFilter =
    u"PDF Files (*.pdf)|*.pdf|TIFF Files (*.tif;*.tiff)|*.tif;*.tiff||";
constexpr const char16_t* kColourFilter =
    u"PDF Files (*.pdf)|*.pdf|JPEG Files (*.jpg;*.jpeg)|*.jpg;*.jpeg||";

// The range a save may take: within the document, and small enough that its
// page entries are made whatever page count the device claims.
bool IsSavableRange(int first, int last, int pages) {
  return first >= 1 && first <= last && last <= pages && last <= kMaxSavePage;
}

// The writer type the Simple view's format text names.
ConvertorType SimpleFormatType(WStringView format) {
  if (format == u"TIFF") return kConvertorTiff;
  if (format == u"JPEG") return kConvertorJpeg;
  return kConvertorPdf;
}

}  // namespace

void CMainDlg::OnOK() {
  if (m_nMode == kModeSimple) {
    SaveSimple();
  } else {
    SaveAdvanced();
  }
}

void CMainDlg::OnBnClickedExitSimple() { OnCancel(); }

int CMainDlg::AskSaveFileName(WString& path, BOOL mono, int format, int& type) {
  CFileDialog dialog(FALSE, u"pdf", nullptr, OFN_HIDEREADONLY, mono ? kMonoFilter : kColourFilter,
                     this);
  dialog.m_ofn.lpstrInitialDir = m_settingInfo.folderPath;
  dialog.m_ofn.nFilterIndex = static_cast<DWORD>(format + 1);
  const int answer = dialog.DoModal();
  if (answer == IDCANCEL) return answer;
  path = dialog.GetPathName();
  // A name of a type the document cannot take gets the chosen filter's.
  if (!IsValidSaveName(path.c_str(), mono)) {
    path += dialog.m_ofn.nFilterIndex == 1 ? u".pdf" : mono ? u".tif" : u".jpg";
  }
  type = GetConvertorType(path.c_str());
  return answer;
}

HRESULT CMainDlg::OpenJob(IConvertor& job, const WString& folder, const char16_t* name, int first,
                          int last) {
  HRESULT hr = job.Open(folder.c_str(), name);
  if (SUCCEEDED(hr)) {
    // Made again if it went since the window opened.
    CreateWorkFolders();
    hr = job.SetWorkFolder(SaveFolderPath().c_str());
  }
  if (SUCCEEDED(hr)) hr = job.SetPageRange(first, last);
  return hr;
}

void CMainDlg::SaveAdvanced() {
  if (!UpdateData(TRUE) || !m_listDocuments) return;
  const int docIndex = SelectedDocument();
  if (docIndex < 0 || docIndex >= kMaxFormatEntries) {
    ShowError(21010, 20002);  // "No document to save selected.", "Save"
    return;
  }
  const int pages = SelectedPageCount();
  int first = 0;
  int last = 0;
  switch (m_nPageRange) {
    case kRangeAll:
      first = 1;
      last = pages;
      break;
    case kRangeCurrentPage:
      first = last = m_nPage;
      break;
    case kRangePages:
      first = LeadingDecimal(m_strPageFrom);
      last = LeadingDecimal(m_strPageTo);
      break;
    default:
      break;
  }
  if (!IsSavableRange(first, last, pages)) {
    ShowError(21011, 20002);  // "The page number you entered is invalid."
    return;
  }
  const BOOL mono = m_imageFormats[docIndex] == kImageFormatMono ? TRUE : FALSE;
  const int format = mono ? m_settingInfo.MonoFormat : m_settingInfo.ColorFormat;

  // Until a name gives a writer whose targets pass their checks, or the user
  // gives up.
  IConvertor* job = nullptr;
  for (;;) {
    WString path;
    int type = kConvertorNone;
    if (AskSaveFileName(path, mono, format, type) == IDCANCEL) return;
    job = CreateConvertor(mono, m_pConvertor, type);
    if (!job) continue;
    WString folder = path;
    WString name = path;
    if (SUCCEEDED(TruncateToFolder(folder)) && SUCCEEDED(GetFileNamePart(name))) {
      // A folder chosen as the target gets a file named by the time stamp.
      const char16_t* fileName = name.empty() ? nullptr : name.c_str();
      if (SUCCEEDED(OpenJob(*job, folder, fileName, first, last))) {
        if (CheckSaveTargets(job, this)) break;
        job->Reset();
      }
    }
    DeleteConvertor(m_pConvertor);
  }

  if (!RunConvertThread(docIndex, job)) return;
  // The writer stays in m_pConvertor until the next save replaces it.
  if (m_bDeleteAfterSave != TRUE) return;
  int code = 0;
  int deleted;
  int listCode = 0;
  int listed;
  {
    WaitCursorScope wait;
    deleted = DeleteDeviceFile(m_mfpInfo, docIndex, &code);
    // Listed again whatever the deletion gave.
    listed = ListSelectedBox(&listCode);
  }
  if (!deleted) ReportCommError(code);
  ShowSelectedBoxListed(listed, listCode);
}

void CMainDlg::SaveSimple() {
  if (m_nSimpleDocIndex < 0) {
    ShowError(21010, 20002);  // "No document to save selected.", "Save"
    return;
  }
  if (!UpdateData(TRUE)) return;
  // The texts cleared after a device error, or a document the device lists
  // without pages: nothing to save.
  const int pages = LeadingDecimal(m_strSimplePages);
  if (pages < 1) {
    ShowError(21010, 20002);
    return;
  }
  if (pages > kMaxSavePage) {
    ShowError(21011, 20002);  // "The page number you entered is invalid."
    return;
  }
  const BOOL mono = m_simpleDoc.colorFlag == kImageFormatMono ? TRUE : FALSE;
  IConvertor* job = CreateConvertor(mono, m_pConvertor, SimpleFormatType(m_strSimpleFormat));
  if (!job) return;
  if (FAILED(OpenJob(*job, m_settingInfo.folderPath, nullptr, 1, pages))) {
    // The destination folder is gone, say.
    ShowError(21012, 20002);  // "Unable to access folder."
    return;
  }
  if (!CheckSaveTargets(job, this)) return;
  const int index = m_nSimpleDocIndex - m_nSimpleSaved;
  // Not saved: the same document stays shown.
  if (!RunConvertThread(index, job)) return;
  if (m_settingInfo.DeleteFile) {
    int code = 0;
    int deleted;
    {
      WaitCursorScope wait;
      deleted = DeleteDeviceFile(m_mfpInfo, index, &code);
    }
    if (!deleted) ReportCommError(code);
  }
  // On to the next older document of the same listing; the device is not
  // asked again.
  ++m_nSimpleSaved;
  ShowSimpleDocument(m_nSimpleDocIndex - m_nSimpleSaved);
}

}  // namespace tallow::app
