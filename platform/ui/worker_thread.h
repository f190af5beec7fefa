// Worker threads in the style of the other system's AfxBeginThread: a
// procedure and its parameter. Joining on the UI thread serves the calls the
// worker sends there meanwhile (SendToUi, CallOnUi, any window call, a
// message box it shows), so that a worker waiting for one of them never
// deadlocks the join.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "platform/message_box.h"

namespace tallow::ui {

using LPVOID = void*;
using AFX_THREADPROC = UINT (*)(LPVOID);

class CWinThread {
 public:
  CWinThread(AFX_THREADPROC proc, LPVOID param);
  // Joins, as Join does, unless that was done. Not for the worker itself
  // to destroy.
  ~CWinThread();
  CWinThread(const CWinThread&) = delete;
  CWinThread& operator=(const CWinThread&) = delete;

  // Waits until the procedure has returned and answers its result. On the
  // UI thread the calls the worker sends there run meanwhile, and the back
  // end keeps its windows painted; posted calls and the user's input wait
  // for the loop, so that nothing else of the program runs inside the join.
  // From the worker itself it answers 0 at once.
  UINT Join();
  bool IsFinished() const { return finished_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> finished_{false};
  UINT exitCode_ = 0;  // written by the worker before |finished_|
  std::thread thread_;
};

// Starts |proc| with |param| on a thread of its own; null when no thread can
// be started.
std::unique_ptr<CWinThread> AfxBeginThread(AFX_THREADPROC proc, LPVOID param);

}  // namespace tallow::ui
