#include "platform/ui/worker_thread.h"

#include <chrono>
#include <system_error>

#include "platform/ui/ui_thread.h"

namespace tallow::ui {

namespace {
// How often a join on the UI thread looks whether the worker has ended while
// no sent call arrives.
constexpr std::chrono::milliseconds kJoinSlice{10};
}  // namespace

CWinThread::CWinThread(AFX_THREADPROC proc, LPVOID param)
    : thread_([this, proc, param] {
        exitCode_ = proc(param);
        finished_.store(true, std::memory_order_release);
      }) {}

CWinThread::~CWinThread() { Join(); }

UINT CWinThread::Join() {
  if (!thread_.joinable()) return exitCode_;
  if (thread_.get_id() == std::this_thread::get_id()) return 0;
  if (UiBackend* backend = IsUiThread() ? CurrentBackend() : nullptr) {
    while (!IsFinished()) {
      if (RunOneSent()) continue;
      backend->WaitForSentCall(kJoinSlice);
    }
  }
  thread_.join();
  return exitCode_;
}

std::unique_ptr<CWinThread> AfxBeginThread(AFX_THREADPROC proc, LPVOID param) {
  if (!proc) return nullptr;
  try {
    return std::make_unique<CWinThread>(proc, param);
  } catch (const std::system_error&) {
    return nullptr;  // no thread could be started
  }
}

}  // namespace tallow::ui
