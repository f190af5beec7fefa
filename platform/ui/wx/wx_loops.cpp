// Loops and the modal pickers: the modal loop that runs the layer's queue
// inside wx's, message boxes, and the file and folder choosers.
#include "platform/ui/file_dialog.h"
#include "platform/ui/ui_thread.h"
#include "platform/ui/wx/wx_impl.h"

#include <wx/app.h>
#include <wx/dirdlg.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>

#include <algorithm>
#include <optional>

namespace tallow::ui {

namespace {
UINT ButtonsOf(UINT type) { return type & 0x0Fu; }
UINT IconOf(UINT type) { return type & 0xF0u; }
}  // namespace

void WxBackend::WaitForSentCall(std::chrono::milliseconds timeout) {
  if (!impl_->started) return UiBackend::WaitForSentCall(timeout);
  // Short waits between the window system's events, so that the windows
  // stay painted and show what the served calls changed.
  const auto end = std::chrono::steady_clock::now() + timeout;
  do {
    impl_->YieldQuietly();
    impl_->FlushAll();
    if (WaitForSent(std::chrono::milliseconds(5))) return;
  } while (std::chrono::steady_clock::now() < end);
}

void WxBackend::RunModalLoop(CDialog& dialog) {
  if (!impl_->Find(&dialog)) return;  // DoModal answers kModalFailed
  wxGUIEventLoop loop;
  wxEventLoopActivator activate(&loop);
  const auto start = std::chrono::steady_clock::now();
  const auto timedOut = [&] {
    return impl_->modalTimeout.count() > 0 &&
           std::chrono::steady_clock::now() - start > impl_->modalTimeout;
  };
  bool handedOver = false;
  std::optional<std::chrono::steady_clock::time_point> onScreenSince;
  while (!dialog.IsEnded() && !timedOut()) {
    if (RunOnePending()) continue;
    if (wxTheApp && wxTheApp->HasPendingEvents()) {
      wxTheApp->ProcessPendingEvents();
      continue;
    }
    if (dialog.IsEnded()) break;
    // Nothing queued: the layer shows the dialog now, the first time.
    dialog.OnModalIdle();
    impl_->FlushAll();
    Impl::Window* w = impl_->Find(&dialog);
    if (!w) break;
    if (!handedOver && impl_->onShown) {
      // Handed to the test once mapped and drawn.
      if (dialog.IsWindowVisible() && w->top->IsShownOnScreen()) {
        const auto now = std::chrono::steady_clock::now();
        if (!onScreenSince) onScreenSince = now;
        if (now - *onScreenSince > std::chrono::milliseconds(300)) {
          handedOver = true;
          Impl::DialogHandler handler = impl_->onShown;  // it may open a nested dialog
          handler(dialog);
          continue;
        }
      }
    }
    loop.DispatchTimeout(handedOver || !impl_->onShown ? 50 : 10);
    loop.ProcessIdle();
  }
}

int WxBackend::ShowMessageBox(HWND owner, WStringView text, WStringView caption, UINT type) {
  impl_->FlushAll();
  wxWindow* parent = impl_->OwnerWindow(owner);
  long style = ButtonsOf(type) == MB_OKCANCEL ? (wxOK | wxCANCEL) : wxOK;
  switch (IconOf(type)) {
    case MB_ICONERROR: style |= wxICON_ERROR; break;
    case MB_ICONWARNING: style |= wxICON_WARNING; break;
    case MB_ICONINFORMATION: style |= wxICON_INFORMATION; break;
    default: break;
  }
  if (type & MB_TOPMOST) style |= wxSTAY_ON_TOP;
  wxMessageDialog box(parent, ToWx(text), ToWx(caption), style);
  const int answer = box.ShowModal();
  impl_->ActivateOwner(parent ? wxGetTopLevelParent(parent) : nullptr);
  return answer == wxID_CANCEL ? IDCANCEL : IDOK;
}

wxWindow* WxBackend::Impl::OwnerWindow(HWND owner) {
  if (CDialog* dialog = CDialog::FromHandle(owner)) {
    if (Window* w = Find(dialog)) return w->top;
  }
  return nullptr;
}

int WxBackend::RunFileDialog(const FileDialogRequest& request, WString* path, int* filterIndex) {
  if (!impl_->started) return IDCANCEL;
  impl_->FlushAll();
  wxString wildcard;
  for (const FileFilter& f : request.filters) {
    if (!wildcard.empty()) wildcard += "|";
    wildcard += ToWx(f.description) + "|" + ToWx(f.patterns);
  }
  if (wildcard.empty()) wildcard = wxFileSelectorDefaultWildcardStr;
  long style = request.save ? wxFD_SAVE : wxFD_OPEN;
  if (request.flags & OFN_OVERWRITEPROMPT) style |= wxFD_OVERWRITE_PROMPT;
  wxFileDialog dialog(impl_->OwnerWindow(request.owner), request.save ? "Save As" : "Open",
                      ToWx(request.initialFolder), ToWx(request.fileName), wildcard, style);
  if (!request.filters.empty()) dialog.SetFilterIndex(std::max(0, request.filterIndex - 1));
  // wx gave the name the first filter's extension; the layer adds that of
  // the filter finally chosen to a name without one.
  dialog.SetFilename(ToWx(request.fileName));
  const int answer = dialog.ShowModal();
  impl_->ActivateOwner(dialog.GetParent());
  if (answer != wxID_OK) return IDCANCEL;
  if (path) *path = FromWx(dialog.GetPath());
  if (filterIndex) *filterIndex = dialog.GetFilterIndex() + 1;
  return IDOK;
}

int WxBackend::BrowseForFolder(HWND owner, WStringView title, WString* folder) {
  if (!impl_->started) return IDCANCEL;
  impl_->FlushAll();
  wxDirDialog dialog(impl_->OwnerWindow(owner), ToWx(title), wxString(),
                     wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  const int answer = dialog.ShowModal();
  impl_->ActivateOwner(dialog.GetParent());
  if (answer != wxID_OK) return IDCANCEL;
  if (folder) *folder = FromWx(dialog.GetPath());
  return IDOK;
}

}  // namespace tallow::ui
