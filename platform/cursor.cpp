#include "platform/cursor.h"

#include <atomic>

namespace tallow {

namespace {
std::atomic<HCURSOR> g_current{IDC_ARROW};
std::atomic<CursorBackend*> g_backend{nullptr};
}  // namespace

HCURSOR LoadCursorW(HCURSOR id) { return id; }

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = g_current.exchange(cursor);
  // Nested scopes of one operation show the wait cursor once, without a
  // flicker between its commands.
  if (previous == cursor) return previous;
  if (CursorBackend* backend = g_backend.load()) backend->Show(cursor);
  return previous;
}

void InstallCursorBackend(CursorBackend* backend) { g_backend.store(backend); }

}  // namespace tallow
