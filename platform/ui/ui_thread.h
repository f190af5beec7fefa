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
// itself, or with no UI thread attached, it runs in place.
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

// Live windows, so that a message posted to a window that is gone is dropped.
void RegisterWindow(HWND hwnd);
void UnregisterWindow(HWND hwnd);
bool IsWindow(HWND hwnd);

}  // namespace tallow::ui
