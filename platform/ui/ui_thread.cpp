#include "platform/ui/ui_thread.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "platform/ui/dialog.h"

namespace tallow::ui {

namespace {

// What the sender of a sent call waits for: the call has run, and what it
// threw, if anything.
struct SentState {
  bool done = false;
  std::exception_ptr failure;
};

struct Queued {
  std::function<void()> call;
  // Set for sent calls: the sender waits on it.
  SentState* sent = nullptr;
};

struct UiState {
  std::mutex mutex;
  std::condition_variable queued;
  std::condition_variable finished;
  std::deque<Queued> queue;
  std::map<HWND, CDialog*> windows;
  // The serial of the next window's handle; never reset, so that no handle
  // is given twice.
  std::uintptr_t nextHandle = 1;
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
  SentState sent;
  UiBackend* backend = nullptr;
  {
    // Checked and queued under one lock, so that a detach in between cannot
    // leave the call waiting in a queue nobody runs.
    std::lock_guard lock(s.mutex);
    if (s.backend && s.uiThread != std::this_thread::get_id()) {
      s.queue.push_back(Queued{call, &sent});
      backend = s.backend;
      s.queued.notify_all();
    }
  }
  if (!backend) {
    call();
    return;
  }
  backend->Wake();
  {
    std::unique_lock lock(s.mutex);
    s.finished.wait(lock, [&] { return sent.done; });
  }
  if (sent.failure) std::rethrow_exception(sent.failure);
}

namespace {

bool IsSent(const Queued& item) { return item.sent != nullptr; }

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
  if (!item.sent) {
    item.call();
    return true;
  }
  // A sent call's failure belongs to its sender, which would otherwise wait
  // for ever; the UI thread goes on.
  std::exception_ptr failure;
  try {
    item.call();
  } catch (...) {
    failure = std::current_exception();
  }
  std::lock_guard lock(s.mutex);
  // Handed over whole: the UI thread keeps no share of what was thrown, so
  // that only the sender releases it.
  item.sent->failure = std::move(failure);
  item.sent->done = true;
  s.finished.notify_all();
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

HWND RegisterWindow(CDialog* window) {
  UiState& s = State();
  std::lock_guard lock(s.mutex);
  const HWND hwnd = reinterpret_cast<HWND>(s.nextHandle++);
  s.windows.emplace(hwnd, window);
  return hwnd;
}

void UnregisterWindow(HWND hwnd) {
  UiState& s = State();
  std::lock_guard lock(s.mutex);
  s.windows.erase(hwnd);
}

bool IsWindow(HWND hwnd) { return WindowFromHandle(hwnd) != nullptr; }

CDialog* WindowFromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  UiState& s = State();
  std::lock_guard lock(s.mutex);
  const auto it = s.windows.find(hwnd);
  return it == s.windows.end() ? nullptr : it->second;
}

}  // namespace tallow::ui
