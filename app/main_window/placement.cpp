// The main window's size and place: each mode's window is as large as the
// union of its controls with the margins around them, and every size change
// brings it back to that size around its centre.
#include <algorithm>
#include <span>

#include "app/main_window/main_dlg.h"

namespace tallow::app {

using namespace tallow::ui;

namespace {

// Where the union of a mode's controls is measured from: no control lies
// this far right or down.
constexpr int kFarCorner = 65535;

}  // namespace

void CMainDlg::ResizeKeepCentre(CDialog* window, Size size) {
  if (!window) return;
  const Rect w = window->GetWindowRect();
  const Rect area = GetWorkArea();
  if (w.cx == size.cx && w.cy == size.cy) return;
  if (w.x < 0 && w.y < 0 && w.right() < 0 && w.bottom() < 0) {
    // Minimised (as the template creates it): placed in the work area,
    // where it comes back to.
    window->MoveWindow(0, 0, size.cx, size.cy, TRUE);
    window->CenterWindow(window);
    return;
  }
  int x = w.x + w.cx / 2 - size.cx / 2;
  int y = w.y + w.cy / 2 - size.cy / 2;
  // The work area's width and height, measured from 0.
  x = std::max(x, 0);
  if (x + size.cx > area.cx) x = area.cx - size.cx;
  y = std::max(y, 0);
  if (y + size.cy > area.cy) y = area.cy - size.cy;
  window->MoveWindow(x, y, size.cx, size.cy, TRUE);
}

BOOL CMainDlg::GetControlsBoundingRect(CDialog* window, const int* ids, int count, Rect* out) {
  if (!window || !ids || !out) return FALSE;
  int left = kFarCorner;
  int top = kFarCorner;
  int right = 0;
  int bottom = 0;
  for (int i = 0; i < count; ++i) {
    const Control* c = window->GetDlgItem(ids[i]);
    if (!c) return FALSE;
    // Hidden controls count too; one off the screen's positive quarter (a
    // minimised window's) makes the measure fail.
    const Rect r = c->GetWindowRect();
    if (r.x < 0 || r.y < 0 || r.right() <= 0 || r.bottom() <= 0) return FALSE;
    left = std::min(left, r.x);
    top = std::min(top, r.y);
    right = std::max(right, r.right());
    bottom = std::max(bottom, r.bottom());
  }
  *out = Rect{left, top, right - left, bottom - top};
  return TRUE;
}

void CMainDlg::ComputeModeSizes() {
  if (m_sizeSimple.cx && m_sizeSimple.cy && m_sizeAdvanced.cx && m_sizeAdvanced.cy) return;
  Rect simple;
  Rect advanced;
  if (!GetControlsBoundingRect(this, kSimpleModeControls, std::size(kSimpleModeControls),
                               &simple) ||
      !GetControlsBoundingRect(this, kAdvancedModeControls, std::size(kAdvancedModeControls),
                               &advanced)) {
    return;
  }
  const Rect w = GetWindowRect();
  // The left margin on both sides and below, and the caption above.
  struct Margins {
    int side;
    int caption;
  };
  const auto margins = [&](const Rect& r) {
    const int side = r.x - w.x;
    return Margins{side, (r.y - w.y) - side};
  };
  const Margins s = margins(simple);
  const Margins a = margins(advanced);
  if (s.side <= 0 || s.caption <= 0 || a.side <= 0 || a.caption <= 0) return;
  m_sizeSimple = Size{simple.cx + 2 * s.side, simple.cy + 2 * s.side + s.caption};
  m_sizeAdvanced = Size{advanced.cx + 2 * a.side, advanced.cy + 2 * a.side + a.caption};
}

Size CMainDlg::ModeSize(MainDlgMode mode) const {
  const Size measured = mode == kModeAdvanced ? m_sizeAdvanced : m_sizeSimple;
  if (measured.cx && measured.cy) return measured;
  return mode == kModeAdvanced ? kDefaultAdvancedSize : kDefaultSimpleSize;
}

void CMainDlg::OnSize(UINT type, int cx, int cy) {
  ComputeModeSizes();
  if (m_nMode != kModeSimple && m_nMode != kModeAdvanced) {
    CConvertDlg::OnSize(type, cx, cy);
    return;
  }
  const Size size = ModeSize(m_nMode);
  if (cx == size.cx && cy == size.cy) {
    CConvertDlg::OnSize(type, cx, cy);
    return;
  }
  // Every size change, a restore included, brings back the mode's size.
  ResizeKeepCentre(this, size);
}

}  // namespace tallow::app
