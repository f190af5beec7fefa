#include "app/main_window/convert_dlg.h"

#include "core/file_utils.h"
#include "core/text_format.h"
#include "core/texts.h"
#include "core/work_folders.h"
#include "platform/file_system.h"

namespace tallow::app {

using namespace tallow::ui;

BOOL CConvertDlg::CheckSaveTargets(IConvertor* job, CDialog* owner) {
  if (!job || !owner) return FALSE;
  const WString first = job->m_outputPaths.empty() ? WString() : job->m_outputPaths.front();
  WString folder = first;
  if (FAILED(TruncateToFolder(folder))) return FALSE;
  if (!IsFolderWritable(first)) {
    owner->MessageBox(MessageText(21012), MessageText(20002), MB_ICONERROR);  // "Unable to access folder."
    return FALSE;
  }
  if (!CanWriteFolder(folder.c_str(), GetLongestFileNameLength(job->m_outputPaths))) {
    // The text comes from the language file: its one number is put in
    // without a printf-style formatter.
    const WString text = FormatWithNumber(MessageText(21017), GetLastError());  // "Path/File access error(%d)"
    owner->MessageBox(text, MessageText(20002), MB_ICONERROR);
    return FALSE;
  }
  if (job->m_outputPaths.empty()) return FALSE;
  // The first file that exists is asked about for all of them.
  for (const WString& path : job->m_outputPaths) {
    if (AccessW(path.c_str(), kAccessExists) != 0) continue;
    return owner->MessageBox(MessageText(21003), MessageText(20002), MB_OKCANCEL | MB_ICONWARNING) ==
                   IDOK
               ? TRUE
               : FALSE;  // "The file already exists. Replace existing file?"
  }
  return TRUE;
}

}  // namespace tallow::app
