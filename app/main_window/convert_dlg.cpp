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
  const WString caption = MessageText(20002);  // "Save"
  if (!IsFolderWritable(first)) {
    owner->MessageBox(MessageText(21012), caption, MB_ICONERROR);  // "Unable to access folder."
    return FALSE;
  }
  if (!CanWriteFolder(folder.c_str(), GetLongestFileNameLength(job->m_outputPaths))) {
    // "Path/File access error(%d)" comes from the language file: its one
    // number is put in without a printf-style formatter.
    owner->MessageBox(FormatWithNumber(MessageText(21017), GetLastError()), caption, MB_ICONERROR);
    return FALSE;
  }
  if (job->m_outputPaths.empty()) return FALSE;
  // The first file that exists is asked about for all of them.
  for (const WString& path : job->m_outputPaths) {
    if (AccessW(path.c_str(), kAccessExists) != 0) continue;
    // "The file already exists. Replace existing file?"
    const int answer = owner->MessageBox(MessageText(21003), caption, MB_OKCANCEL | MB_ICONWARNING);
    return answer == IDOK ? TRUE : FALSE;
  }
  return TRUE;
}

}  // namespace tallow::app
