#include "platform/ui/ui_thread.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "platform/ui/dialog.h"

namespace tallow::ui {

namespace {

struct Queued {
  std::function<void()> call;
  // Set for sent calls: the sender waits on it.
  bool* done = nullptr;
};

struct UiState {
  std::mutex mutex;
  std::condition_variable queued;
  std::condition_variable finished;
  std::deque<Queued> queue;
  std::set<HWND> windows;
  UiBackend* backend = nullptr;
  std::thread::id uiThread;
};

UiState& State() {
  static UiState state;
  return state;
}

// Carries message boxes asked for on any thread to the back end, on the UI
// thread: a worker's box is modal there while the worker waits for it.
class BoxRouter : public MessageBoxBackend {
 public:
  int Show(HWND owner, WStringView text, WStringView caption, UINT type) override {
    return CallOnUi([&] {
      UiBackend* backend = CurrentBackend();
      if (!backend) return 0;
      const ModalOwnerScope owned(owner);
      return backend->ShowMessageBox(owned.Owner(), text, caption, type);
    });
  }
};
BoxRouter g_boxRouter;

void Enqueue(Queued item) {
  UiBackend* backend;
  {
    UiState& s = State();
    std::lock_guard lock(s.mutex);
    s.queue.push_back(std::move(item));
    backend = s.backend;
    s.queued.notify_all();
  }
  if (backend) backend->Wake();
}

}  // namespace

void AttachUiThread(UiBackend* backend) {
  UiState& s = State();
  {
    std::lock_guard lock(s.mutex);
    s.backend = backend;
    s.uiThread = std::this_thread::get_id();
  }
  InstallMessageBoxBackend(&g_boxRouter);
}

void DetachUiThread() {
  InstallMessageBoxBackend(nullptr);
  UiState& s = State();
  {
    std::lock_guard lock(s.mutex);
    s.backend = nullptr;
    s.uiThread = std::thread::id();
    s.windows.clear();
  }
  // From here every call runs in place; what was queued before runs now.
  RunPending();
}

UiBackend* CurrentBackend() {
  UiState& s = State();
  std::lock_guard lock(s.mutex);
  return s.backend;
}

bool IsUiThread() {
  UiState& s = State();
  std::lock_guard lock(s.mutex);
  return s.backend == nullptr || s.uiThread == std::this_thread::get_id();
}

void PostToUi(std::function<void()> call) { Enqueue(Queued{std::move(call), nullptr}); }

void SendToUi(const std::function<void()>& call) {
  UiState& s = State();
  bool done = false;
  UiBackend* backend = nullptr;
  {
    // Checked and queued under one lock, so that a detach in between cannot
    // leave the call waiting in a queue nobody runs.
    std::lock_guard lock(s.mutex);
    if (s.backend && s.uiThread != std::this_thread::get_id()) {
      s.queue.push_back(Queued{call, &done});
      backend = s.backend;
      s.queued.notify_all();
    }
  }
  if (!backend) {
    call();
    return;
  }
  backend->Wake();
  std::unique_lock lock(s.mutex);
  s.finished.wait(lock, [&] { return done; });
}

namespace {

bool IsSent(const Queued& item) { return item.done != nullptr; }

// Takes the first queued call that |pick| accepts and runs it.
template <class Pick>
bool RunFirst(Pick pick) {
  UiState& s = State();
  Queued item;
  {
    std::lock_guard lock(s.mutex);
    const auto it = std::find_if(s.queue.begin(), s.queue.end(), pick);
    if (it == s.queue.end()) return false;
    item = std::move(*it);
    s.queue.erase(it);
  }
  item.call();
  if (item.done) {
    std::lock_guard lock(s.mutex);
    *item.done = true;
    s.finished.notify_all();
  }
  return true;
}

}  // namespace

bool RunOnePending() {
  return RunFirst([](const Queued&) { return true; });
}

bool RunOneSent() { return RunFirst(IsSent); }

int RunPending() {
  int count = 0;
  while (RunOnePending()) ++count;
  return count;
}

bool WaitForPending(std::chrono::milliseconds timeout) {
  UiState& s = State();
  std::unique_lock lock(s.mutex);
  return s.queued.wait_for(lock, timeout, [&] { return !s.queue.empty(); });
}

bool WaitForSent(std::chrono::milliseconds timeout) {
  UiState& s = State();
  std::unique_lock lock(s.mutex);
  return s.queued.wait_for(lock, timeout, [&] {
    return std::any_of(s.queue.begin(), s.queue.end(), IsSent);
  });
}

void UiBackend::WaitForSentCall(std::chrono::milliseconds timeout) { WaitForSent(timeout); }

void RegisterWindow(HWND hwnd) {
  UiState& s = State();
  std::lock_guard lock(s.mutex);
  s.windows.insert(hwnd);
}

void UnregisterWindow(HWND hwnd) {
  UiState& s = State();
  std::lock_guard lock(s.mutex);
  s.windows.erase(hwnd);
}

bool IsWindow(HWND hwnd) {
  if (!hwnd) return false;
  UiState& s = State();
  std::lock_guard lock(s.mutex);
  return s.windows.count(hwnd) != 0;
}

}  // namespace tallow::ui
