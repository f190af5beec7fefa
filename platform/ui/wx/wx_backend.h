// The back end that shows real windows through wxWidgets (GTK). This header
// names no wx type, so that nothing outside this folder sees wxWidgets: the
// windows are built from the templates, dialog units converted through the
// dialog's font, and the wx event loop pumps the layer's queue.
#pragma once

#include <memory>

#include "platform/cursor.h"
#include "platform/ui/backend.h"
#include "platform/ui/dialog.h"

namespace tallow::ui {

class WxBackend : public UiBackend, public CursorBackend {
 public:
  // Starts wxWidgets on the calling thread, which becomes the UI thread.
  // Check Ok() before use: without a display nothing starts.
  WxBackend();
  ~WxBackend() override;
  WxBackend(const WxBackend&) = delete;
  WxBackend& operator=(const WxBackend&) = delete;

  bool Ok() const;

  // UiBackend
  void RunModalLoop(CDialog& dialog) override;
  int ShowMessageBox(HWND owner, WStringView text, WStringView caption, UINT type) override;
  void Wake() override;
  void WaitForSentCall(std::chrono::milliseconds timeout) override;
  BaseUnits DialogBaseUnits(const DialogTemplate& t) override;
  FrameMetrics WindowFrame(const DialogTemplate& t) override;
  Rect WorkArea() override;
  void WindowCreated(CDialog& dialog) override;
  void WindowDestroyed(CDialog& dialog) override;
  void WindowChanged(CDialog& dialog) override;
  void PresentNow(CDialog& dialog) override;
  void ControlChanged(Control& control) override;
  void MenuChanged(CDialog& dialog) override;
  void SurfaceChanged(CDialog& dialog, Control* control) override;
  int TrackPopupMenu(const CMenu& menu, UINT flags, Point screen, CDialog* owner) override;
  int RunFileDialog(const FileDialogRequest& request, WString* path, int* filterIndex) override;
  int BrowseForFolder(HWND owner, WStringView title, WString* folder) override;
  bool DecodeImage(const ImageFile& file, std::shared_ptr<const DecodedImage>* pixels) override;
  bool TreeHitTest(const CTreeCtrl& tree, Point client, HTREEITEM* item) override;
  // CursorBackend
  void Show(HCURSOR cursor) override;

  // The state the files of this folder share (wx_impl.h).
  struct Impl;

 private:
  friend Impl& ImplOf(WxBackend& backend);
  std::unique_ptr<Impl> impl_;
};

}  // namespace tallow::ui
