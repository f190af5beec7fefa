// What a back end does for the window layer. Dialog code never sees it: the
// layer keeps every window's state itself and tells the back end what to
// show; the back end runs the loops and brings the user's input back in.
#pragma once

#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/window_handle.h"

namespace tallow::ui {

class CDialog;
class Control;

class UiBackend {
 public:
  virtual ~UiBackend() = default;
  // Runs until |dialog| has ended: pumps the layer's message queue
  // (RunOnePending) and delivers the user's input. UI thread only.
  virtual void RunModalLoop(CDialog& dialog) = 0;
  // Shows a message box and returns the button chosen. UI thread only.
  virtual int ShowMessageBox(HWND owner, WStringView text, WStringView caption, UINT type) = 0;
  // A message was queued, from any thread: wake the event loop.
  virtual void Wake() {}
  // Mirrors of the layer's windows, for back ends that show them.
  virtual void WindowCreated(CDialog&) {}
  virtual void WindowDestroyed(CDialog&) {}
  virtual void WindowChanged(CDialog&) {}
  virtual void ControlChanged(Control&) {}
};

}  // namespace tallow::ui
