// Where a dialog stands: dialog units to pixels, the window and client
// rectangles on the screen, moves, centring, and minimise and restore.
#include <algorithm>
#include <climits>

#include "platform/ui/dialog.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

namespace {

// Where the other system keeps a minimised window.
constexpr Rect kIconicRect{-32000, -32000, 160, 28};

LPARAM PackSize(int cx, int cy) {
  return static_cast<LPARAM>((static_cast<unsigned>(cy) & 0xFFFFu) << 16 |
                             (static_cast<unsigned>(cx) & 0xFFFFu));
}

}  // namespace

int MulDiv(int value, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const long long product = static_cast<long long>(value) * numerator;
  long long d = denominator;
  long long n = product;
  if (d < 0) {
    d = -d;
    n = -n;
  }
  // Rounded half away from zero.
  const long long q = n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d);
  if (q > INT_MAX || q < INT_MIN) return -1;
  return static_cast<int>(q);
}

Rect DialogUnitsToPixels(const Rect& dlu, BaseUnits units) {
  return Rect{MulDiv(dlu.x, units.x, 4), MulDiv(dlu.y, units.y, 8), MulDiv(dlu.cx, units.x, 4),
              MulDiv(dlu.cy, units.y, 8)};
}

BaseUnits ReferenceBaseUnits(const DialogTemplate& t) {
  // The usual desktop font of 8 points at 96 dpi, scaled for other sizes.
  const int points = t.fontPoints > 0 ? t.fontPoints : 8;
  return BaseUnits{std::max(1, (6 * points + 4) / 8), std::max(1, (13 * points + 4) / 8)};
}

FrameMetrics UiBackend::WindowFrame(const DialogTemplate& t) {
  constexpr int kBorder = 3;
  constexpr int kCaption = 22;
  constexpr int kMenuBar = 19;
  return FrameMetrics{kBorder, kBorder + kCaption + (t.menuId ? kMenuBar : 0), kBorder, kBorder};
}

Rect UiBackend::WorkArea() { return kPlainWorkArea; }

Rect GetWorkArea() {
  if (UiBackend* backend = CurrentBackend()) return backend->WorkArea();
  return kPlainWorkArea;
}

Rect CDialog::GetWindowRect() const {
  return CallOnUi([&] { return iconic_ ? kIconicRect : windowRect_; });
}

Rect CDialog::GetClientRect() const {
  return CallOnUi([&] {
    if (iconic_) return Rect{};
    return Rect{0, 0, std::max(0, windowRect_.cx - frame_.left - frame_.right),
                std::max(0, windowRect_.cy - frame_.top - frame_.bottom)};
  });
}

void CDialog::ClientToScreen(Point* point) const {
  if (!point) return;
  const Rect w = GetWindowRect();
  const FrameMetrics f = CallOnUi([&] { return frame_; });
  point->x += w.x + f.left;
  point->y += w.y + f.top;
}

void CDialog::ScreenToClient(Point* point) const {
  if (!point) return;
  const Rect w = GetWindowRect();
  const FrameMetrics f = CallOnUi([&] { return frame_; });
  point->x -= w.x + f.left;
  point->y -= w.y + f.top;
}

void CDialog::MoveWindow(int x, int y, int cx, int cy, BOOL repaint) {
  CallOnUi([&] {
    if (!Created()) return;
    const Rect r{x, y, std::max(0, cx), std::max(0, cy)};
    if (iconic_) {
      windowRect_ = r;  // where it comes back to
      CurrentBackend()->WindowChanged(*this);
      return;
    }
    const bool sized = r.cx != windowRect_.cx || r.cy != windowRect_.cy;
    windowRect_ = r;
    CurrentBackend()->WindowChanged(*this);
    if (sized) SendSize();
    if (repaint) Invalidate(TRUE);
  });
}

void CDialog::CenterWindow(CDialog* alternateOwner) {
  CallOnUi([&] {
    if (!Created()) return;
    const Rect area = GetWorkArea();
    CDialog* owner = alternateOwner ? alternateOwner : parent_;
    Rect over = area;
    if (owner && owner->Created() && owner->visible_ && !owner->iconic_ && !iconic_ && visible_) {
      over = owner->windowRect_;
    }
    const int cx = windowRect_.cx;
    const int cy = windowRect_.cy;
    int x = over.x + (over.cx - cx) / 2;
    int y = over.y + (over.cy - cy) / 2;
    // Kept inside the work area: its left or top edge first.
    if (x < area.x) {
      x = area.x;
    } else if (x + cx > area.right()) {
      x = area.right() - cx;
    }
    if (y < area.y) {
      y = area.y;
    } else if (y + cy > area.bottom()) {
      y = area.bottom() - cy;
    }
    MoveWindow(x, y, cx, cy, TRUE);
  });
}

bool CDialog::IsIconic() const { return CallOnUi([&] { return Created() && iconic_; }); }

void CDialog::Minimize() {
  if (iconic_) return;
  iconic_ = true;
  CurrentBackend()->WindowChanged(*this);
  WindowProc(WM_SIZE, SIZE_MINIMIZED, PackSize(0, 0));
}

void CDialog::Restore() {
  if (!iconic_) return;
  iconic_ = false;
  CurrentBackend()->WindowChanged(*this);
  SendSize();
  Invalidate(TRUE);
}

void CDialog::SendSize() {
  const Rect client = GetClientRect();
  WindowProc(WM_SIZE, SIZE_RESTORED, PackSize(client.cx, client.cy));
}

void CDialog::InputMoved(int x, int y) {
  if (!Created() || iconic_) return;
  windowRect_.x = x;
  windowRect_.y = y;
}

}  // namespace tallow::ui
