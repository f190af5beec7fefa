// What a back end does for the window layer. Dialog code never sees it: the
// layer keeps every window's state itself and tells the back end what to
// show; the back end runs the loops and brings the user's input back in.
#pragma once

#include <chrono>
#include <memory>

#include "platform/image_header.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/ui_defs.h"
#include "platform/window_handle.h"

namespace tallow::ui {

class CDialog;
class CMenu;
class CTreeCtrl;
class Control;
struct FileDialogRequest;

// Dialog base units in pixels: the average character width and the height of
// the dialog's font, as the other system's MapDialogRect uses them.
struct BaseUnits {
  int x = 0;
  int y = 0;
  friend bool operator==(const BaseUnits&, const BaseUnits&) = default;
};

// Dialog units to pixels with |units| (MulDiv by 4 across, 8 down).
Rect DialogUnitsToPixels(const Rect& dlu, BaseUnits units);

// The other system's base units for the template's font on a plain desktop
// at 96 dpi: the dialogs' layout, and the sizes the program gives in pixels
// (a list's column widths), were drawn for them.
BaseUnits ReferenceBaseUnits(const DialogTemplate& t);

// What a window's frame adds around its client area, in pixels; the top
// holds the caption and the menu bar.
struct FrameMetrics {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The work area of a plain desktop with its taskbar at the bottom, for back
// ends that have no screen to ask.
inline constexpr Rect kPlainWorkArea{0, 0, 1280, 984};

// The pixels a back end made of a page picture; only it reads them.
class DecodedImage {
 public:
  virtual ~DecodedImage() = default;
};

class UiBackend {
 public:
  virtual ~UiBackend() = default;
  // Runs until |dialog| has ended: pumps the layer's message queue
  // (RunOnePending), calls dialog.OnModalIdle() once nothing is queued, and
  // delivers the user's input. UI thread only.
  virtual void RunModalLoop(CDialog& dialog) = 0;
  // Shows a message box and returns the button chosen. UI thread only.
  virtual int ShowMessageBox(HWND owner, WStringView text, WStringView caption, UINT type) = 0;
  // A message was queued, from any thread: wake the event loop.
  virtual void Wake() {}
  // UI thread, while it waits outside the loops for another thread (a
  // worker's end): waits up to |timeout| for a sent call to be queued. A back
  // end with a screen keeps its windows painted meanwhile; the user's input
  // and the program's handlers wait for the loop.
  virtual void WaitForSentCall(std::chrono::milliseconds timeout);

  // Geometry. The defaults are those of a plain desktop at 96 dpi.
  virtual BaseUnits DialogBaseUnits(const DialogTemplate& t) { return ReferenceBaseUnits(t); }
  virtual FrameMetrics WindowFrame(const DialogTemplate& t);
  virtual Rect WorkArea();

  // Mirrors of the layer's windows, for back ends that show them.
  virtual void WindowCreated(CDialog&) {}
  virtual void WindowDestroyed(CDialog&) {}
  // Caption, visibility, enabled state, placement, icons, system menu.
  virtual void WindowChanged(CDialog&) {}
  // A modeless window has been made visible and initialised: a back end with
  // a screen shows it there now, painted, because its creator may keep the
  // UI thread busy (a listing over the network) before any loop turns again.
  virtual void PresentNow(CDialog&) {}
  virtual void ControlChanged(Control&) {}
  // DrawMenuBar: the menu bar shows its items anew.
  virtual void MenuChanged(CDialog&) {}
  // What was drawn into the dialog (control null) or one of its controls changed.
  virtual void SurfaceChanged(CDialog&, Control*) {}

  // Modal pickers, UI thread only. Each answers IDOK or IDCANCEL.
  // A popup menu at |screen|: the command chosen, 0 for none.
  virtual int TrackPopupMenu(const CMenu&, UINT /*flags*/, Point /*screen*/, CDialog* /*owner*/) {
    return 0;
  }
  // The save or open dialog: on IDOK, |path| as the user gave it and the
  // 1-based filter then chosen.
  virtual int RunFileDialog(const FileDialogRequest&, WString* /*path*/, int* /*filterIndex*/) {
    return IDCANCEL;
  }
  virtual int BrowseForFolder(HWND /*owner*/, WStringView /*title*/, WString* /*folder*/) {
    return IDCANCEL;
  }

  // Page pictures: the back end's pixels of |file| (a JPEG or TIFF whose
  // header gave its size). False: the file does not load. A back end that
  // draws nothing may leave |pixels| empty.
  virtual bool DecodeImage(const ImageFile& /*file*/, std::shared_ptr<const DecodedImage>* /*pixels*/) {
    return true;
  }
  // The item of |tree| at |client| as the back end lays it out; false leaves
  // it to the layer's own layout.
  virtual bool TreeHitTest(const CTreeCtrl&, Point /*client*/, HTREEITEM* /*item*/) {
    return false;
  }
};

}  // namespace tallow::ui
