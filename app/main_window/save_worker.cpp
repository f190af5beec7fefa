// The save worker: a document's pages downloaded into the save folder and
// handed to the writer on a thread of their own, while the progress dialog
// runs modally on the UI thread. The worker is always joined before the
// dialog, the writer or the save context is touched again.
#include <new>

#include "app/main_window/main_dlg.h"
#include "core/work_folders.h"
#include "device/channel_layer.h"
#include "platform/cursor.h"
#include "platform/file_system.h"

namespace tallow::app {

namespace {

// The reporting rule: a change of status, page or total is stored and
// handed to the owner's callback; an unchanged report calls nothing.
void Report(ConvertThreadContext& c, int status, int current, int total) {
  if (status == c.nStatus && current == c.nCurrent && total == c.nTotal) return;
  c.nStatus = status;
  c.nCurrent = current;
  c.nTotal = total;
  if (c.pOwner && c.pfnCallback) c.pfnCallback(c.pOwner);
}

// Whether every file the writer was to write is there under its name: only
// then is a save complete.
bool AllOutputsExist(const IConvertor& job) {
  if (job.m_outputPaths.empty()) return false;
  for (const WString& path : job.m_outputPaths) {
    if (AccessW(path.c_str(), kAccessExists) != 0 || PathIsDirectoryW(path.c_str())) return false;
  }
  return true;
}

// Empties the folder the pages of a save are downloaded into, and no other:
// the writer's work folder is what it was last given (TEMP after Open) or
// what its codec library left in the buffer it was handed, and may name a
// folder of the user's.
void EmptySaveFolder(const ConvertThreadContext& c) {
  c.folderCleaner.DeleteFolderContents(SaveFolderPath());
}

// The pages first to last of |fileIndex| into the save folder (where
// DownloadPageForSave puts them), each with its entry of |entries|. False
// when the worker stopped: a page that did not come (status 128) or a
// cancel seen after a page (status 5, the pages downloaded so far deleted).
bool DownloadPages(ConvertThreadContext& c, const MFPInfo& device, int fileIndex, int first,
                   int last, ImageInfo* entries) {
  for (int page = first; page <= last; ++page) {
    int result;
    {
      // One wait cursor for the page and its image information.
      WaitCursorScope wait;
      result = DownloadPageForSave(device, fileIndex, page, &entries[page]);
    }
    // Only a page whose image information came too counts: anything else
    // would reach the writer as a page never downloaded.
    if (result != 1) {
      Report(c, kConvertDownloadFailed, page, c.nTotal);
      return false;
    }
    if (c.bCancel) {
      Report(c, kConvertCancelled, c.nCurrent, c.nTotal);
      EmptySaveFolder(c);
      return false;
    }
    Report(c, c.nStatus, page, last);
  }
  return true;
}

}  // namespace

void ConvertThreadContext::Reset() {
  if (pThread) {
    pThread->Join();
    pThread.reset();
  }
  bCancel = FALSE;
  nStatus = kConvertFinished;
  nCurrent = 0;
  nTotal = 0;
  pfnCallback = nullptr;
  pOwner = nullptr;
  pJob = nullptr;
  nDocIndex = -1;
}

void CMainDlg::CancelConvert() { m_convertContext.bCancel = TRUE; }

BOOL CMainDlg::RunConvertThread(int docIndex, IConvertor* job) {
  ConvertThreadContext& c = m_convertContext;
  BOOL result = FALSE;
  if (!job) return FALSE;
  CreateWorkFolders();
  EmptySaveFolder(c);
  c.Reset();
  if (docIndex < 0) return FALSE;
  c.pJob = job;
  c.nDocIndex = docIndex;
  c.pOwner = this;
  c.pfnCallback = &CMainDlg::ConvertProgressCallback;
  Report(c, kConvertStarted, c.nCurrent, c.nTotal);
  c.pThread = ui::AfxBeginThread(&CMainDlg::SaveThreadProc, &c);
  if (c.pThread) {
    m_progressDlg.m_pOwner = this;
    m_progressDlg.m_nTotal = 100;
    const int answer = m_progressDlg.DoModal();
    // The dialog may end before the worker's last report (after a failure,
    // say): the worker ends first, and what it reported meanwhile is
    // forgotten with the rest of this save.
    c.pThread->Join();
    m_progressDlg.ForgetSave();
    if (answer == IDOK) {
      EmptySaveFolder(c);
      result = TRUE;
    }
  }
  c.Reset();
  return result;
}

UINT CMainDlg::SaveThreadProc(void* context) {
  auto* c = static_cast<ConvertThreadContext*>(context);
  if (!c) return 1;
  IConvertor* job = c->pJob;
  const int fileIndex = c->nDocIndex;
  const int first = job ? job->m_firstPage : 0;
  const int last = job ? job->m_lastPage : 0;
  const MFPInfo device = GetMFPInfo();

  // One entry per page number, zero-filled, for a range the save road
  // checked; anything else, or no memory for it, saves nothing and says so
  // rather than reach the completion.
  std::unique_ptr<ImageInfo[]> entries;
  if (job && first >= 1 && first <= last && last <= kMaxSavePage) {
    entries.reset(new (std::nothrow) ImageInfo[static_cast<std::size_t>(last) + 1]());
  }
  if (!entries) {
    Report(*c, kConvertFailed, 0, c->nTotal);
  } else {
    Report(*c, kConvertDownloading, 0, last);
    // A cancel seen after the last page skips the conversion and keeps the
    // pages until the next clearing.
    if (DownloadPages(*c, device, fileIndex, first, last, entries.get()) && !c->bCancel) {
      Report(*c, kConvertConverting, c->nCurrent, c->nTotal);
      std::uint32_t fileId = 0;
      HRESULT hr = E_FAIL;
      // A file that came under the made name while the pages downloaded
      // moves it on rather than be written over.
      job->KeepMadeNameFree();
      if (GetFileId(device, fileIndex, fileId)) hr = job->Convert(entries.get(), fileId);
      if (SUCCEEDED(hr) && !AllOutputsExist(*job)) hr = E_FAIL;
      if (FAILED(hr)) {
        Report(*c, kConvertFailed, 0, c->nTotal);
        EmptySaveFolder(*c);
      }
    }
    entries.reset();
  }
  Report(*c, kConvertFinished, c->nCurrent, c->nTotal);
  return 0;
}

void CMainDlg::ConvertProgressCallback(CMainDlg* owner) {
  if (!owner) return;
  const ConvertThreadContext& c = owner->m_convertContext;
  CProgressDlg& progress = owner->m_progressDlg;
  // Every report goes to the dialog, also one made before its window
  // exists: the dialog keeps the state reached and shows it once it opens.
  if (c.bCancel) {
    // No failure is shown for a save given up; the final report ends the
    // dialog.
    if (c.nStatus == kConvertFinished) progress.PostMessageW(ui::WM_CLOSE);
    return;
  }
  switch (c.nStatus) {
    case kConvertDownloadFailed:
      progress.ReportSaveFailure(kSaveDownloadFailed);
      break;
    case kConvertFailed:
      progress.ReportSaveFailure(kSaveConvertFailed);
      break;
    case kConvertFinished:
      // A count above the last page shows the completion, unless the dialog
      // has seen a failure.
      progress.UpdateSaveProgress(c.nTotal + 1, c.nTotal);
      break;
    default:
      if (c.nTotal > 0) progress.UpdateSaveProgress(c.nCurrent, c.nTotal);
      break;
  }
}

}  // namespace tallow::app
