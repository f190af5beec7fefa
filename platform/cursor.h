// The mouse cursor, as far as the system's own code sets it: the wait cursor
// during device traffic. The window layer installs a backend that shows it;
// without one the calls only keep track of the current cursor.
#pragma once

namespace tallow {

using HCURSOR = int;
inline constexpr HCURSOR kNoCursor = 0;
inline constexpr HCURSOR IDC_ARROW = 32512;
inline constexpr HCURSOR IDC_WAIT = 32514;

// The system cursor of the given id.
HCURSOR LoadCursorW(HCURSOR id);
// Shows |cursor| and returns the cursor it replaces; the backend is told
// only of a change.
HCURSOR SetCursor(HCURSOR cursor);

class CursorBackend {
 public:
  virtual ~CursorBackend() = default;
  virtual void Show(HCURSOR cursor) = 0;
};
// The backend stays owned by the caller; nullptr removes it.
void InstallCursorBackend(CursorBackend* backend);

// Shows the wait cursor for its lifetime and restores the one it replaced.
class WaitCursorScope {
 public:
  WaitCursorScope() : previous_(SetCursor(LoadCursorW(IDC_WAIT))) {}
  ~WaitCursorScope() { SetCursor(previous_); }
  WaitCursorScope(const WaitCursorScope&) = delete;
  WaitCursorScope& operator=(const WaitCursorScope&) = delete;

 private:
  HCURSOR previous_;
};

}  // namespace tallow
