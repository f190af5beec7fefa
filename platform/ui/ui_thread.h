// The user-interface thread and its message queue. Windows belong to the
// thread that attached the back end; a call made on any other thread that
// touches a window is carried over: sent calls wait until the UI thread has
// run them, posted ones are queued and return at once.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

#include "platform/ui/backend.h"
#include "platform/window_handle.h"

namespace tallow::ui {

// Makes the calling thread the UI thread with |backend| behind it, and routes
// message boxes (platform/message_box.h) through it. |backend| stays owned by
// the caller; one at a time.
void AttachUiThread(UiBackend* backend);
// Detaches, then runs what is still queued, so that no sent call stays
// waiting; afterwards every call runs in place.
void DetachUiThread();

UiBackend* CurrentBackend();
// True on the UI thread, and on every thread while none is attached.
bool IsUiThread();

void PostToUi(std::function<void()> call);
// Runs |call| on the UI thread and returns when it has run; on the UI thread
// itself, or with no UI thread attached, it runs in place. What |call| throws
// is thrown again here, in its sender, and the UI thread goes on.
void SendToUi(const std::function<void()>& call);

// The result of |f| run on the UI thread.
template <class F>
auto CallOnUi(F&& f) -> std::invoke_result_t<F&> {
  using R = std::invoke_result_t<F&>;
  if (IsUiThread()) return f();
  if constexpr (std::is_void_v<R>) {
    SendToUi([&] { f(); });
  } else {
    std::optional<R> result;
    SendToUi([&] { result.emplace(f()); });
    return std::move(*result);
  }
}

// UI thread only: runs the oldest queued call; false when none was queued.
bool RunOnePending();
// UI thread only: runs queued calls until none is left, those they queue
// included; returns how many ran.
int RunPending();
// UI thread only: waits until a call is queued or |timeout| passes.
bool WaitForPending(std::chrono::milliseconds timeout);
// UI thread only: runs the oldest queued call that its sender waits for
// (SendToUi, CallOnUi, a message box asked for on another thread), leaving
// the posted ones queued in their order; false when none waits.
bool RunOneSent();
// UI thread only: waits until a sent call is queued or |timeout| passes.
bool WaitForSent(std::chrono::milliseconds timeout);

// Window handles. A window gets a handle each time it is made, one that no
// window had before: a handle kept past its window's end (a message posted to
// it, an owner remembered) then names nothing, never a later window made at
// the same address, and what was meant for the old one is dropped.
HWND RegisterWindow(CDialog* window);  // the new window's handle
void UnregisterWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
// The window |hwnd| names while it exists, else null.
CDialog* WindowFromHandle(HWND hwnd);

}  // namespace tallow::ui
