#include "platform/ui/paint.h"

#include "platform/ui/dialog.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

namespace {
// Drawing without erasing piles up; what lies under the newest steps of a
// window that is painted again and again is long covered.
constexpr std::size_t kMaxOps = 64;
}  // namespace

void Surface::Add(DrawOp op) {
  if (ops_.size() >= kMaxOps) ops_.erase(ops_.begin());
  ops_.push_back(std::move(op));
}

CDC::CDC(CDialog& dialog) : dialog_(dialog), control_(nullptr) {}
CDC::CDC(Control& control) : dialog_(control.Parent()), control_(&control) {}

int CDC::SetStretchBltMode(int mode) {
  const int previous = stretchMode_;
  stretchMode_ = mode;
  return previous;
}

void CDC::Add(DrawOp op) {
  CallOnUi([&] {
    if (!dialog_.GetSafeHwnd()) return;
    (control_ ? control_->MutableSurface() : dialog_.MutableSurface()).Add(std::move(op));
    if (UiBackend* backend = CurrentBackend()) backend->SurfaceChanged(dialog_, control_);
  });
}

BOOL CDC::DrawIcon(int x, int y, HICON icon) {
  if (!icon) return FALSE;
  DrawOp op;
  op.kind = DrawOp::Kind::kIcon;
  op.icon = icon;
  op.dest = Rect{x, y, 0, 0};
  Add(std::move(op));
  return TRUE;
}

BOOL CDC::DrawImage(const std::shared_ptr<const ImageData>& image, const Rect& dest,
                    const Rect& src) {
  if (!image || dest.cx <= 0 || dest.cy <= 0 || src.cx <= 0 || src.cy <= 0) return FALSE;
  DrawOp op;
  op.kind = DrawOp::Kind::kImage;
  op.image = image;
  op.dest = dest;
  op.src = src;
  op.stretchMode = stretchMode_;
  Add(std::move(op));
  return TRUE;
}

}  // namespace tallow::ui
