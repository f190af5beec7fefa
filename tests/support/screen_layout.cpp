#include "support/screen_layout.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/ui/dialog_template.h"
#include "res/resource_ids.h"

namespace tallow::test {

DialogRect TemplateRect(int dialogId, int controlId) {
  const ui::DialogTemplate* t = ui::FindDialogTemplate(dialogId);
  if (!t) throw std::runtime_error("no template " + std::to_string(dialogId));
  const auto dlu = [](const ui::Rect& r) {
    return DialogRect{double(r.x), double(r.y), double(r.cx), double(r.cy)};
  };
  if (controlId == 0) return dlu(t->rect);
  for (const ui::ControlTemplate& c : t->controls) {
    if (c.id == controlId) return dlu(c.rect);
  }
  throw std::runtime_error("no control " + std::to_string(controlId) + " in template " +
                           std::to_string(dialogId));
}

XRect Layout::Place(const DialogRect& r) const {
  return {window.x + static_cast<int>(r.x * sx), window.y + clientTop + static_cast<int>(r.y * sy),
          static_cast<int>(r.width * sx), static_cast<int>(r.height * sy)};
}

Layout DialogLayout(XInput& input, unsigned long window, int dialogId) {
  const DialogRect size = TemplateRect(dialogId);
  Layout l;
  l.window = input.Geometry(window).value_or(XRect{});
  l.sx = l.window.width / size.width;
  l.sy = l.window.height / size.height;
  return l;
}

std::optional<Layout> MainWindowLayout(XInput& input, unsigned long window) {
  Layout l;
  l.window = input.Geometry(window).value_or(XRect{});
  const DialogRect frame = TemplateRect(res::IDD_MAIN, res::IDC_MAIN_PREVIEW_FRAME);
  l.sx = l.window.width / TemplateRect(res::IDD_MAIN).width;
  const auto screen = input.Grab();
  if (!screen) return std::nullopt;
  const int x = l.window.x + static_cast<int>((frame.x + frame.width / 2) * l.sx);
  int top = -1, bottom = -1;
  for (int y = std::max(0, l.window.y); y < l.window.y + l.window.height && y < screen->height; ++y) {
    if (x < 0 || x >= screen->width || screen->Luminance(x, y) >= 40) continue;
    if (top < 0) {
      top = y;
      y += 4;  // past the top border
    } else {
      bottom = y;
      break;
    }
  }
  if (top < 0 || bottom < 0) return std::nullopt;
  l.sy = (bottom - top + 1) / frame.height;
  l.clientTop = top - l.window.y - static_cast<int>(frame.y * l.sy);
  if (l.clientTop <= 0) return std::nullopt;
  return l;
}

std::vector<Band> InkBands(const XScreenImage& screen, const XRect& area) {
  std::vector<Band> bands;
  bool inBand = false;
  const int top = std::max(0, area.y + 3), bottom = std::min(screen.height, area.y + area.height - 3);
  const int left = std::max(0, area.x + 3), right = std::min(screen.width, area.x + area.width - 3);
  for (int y = top; y < bottom; ++y) {
    int ink = -1;
    for (int x = left; x < right; ++x) {
      if (screen.Luminance(x, y) < 100) ink = x;
    }
    if (ink >= 0 && !inBand) bands.push_back({y, y, ink});
    if (ink >= 0) {
      bands.back().bottom = y;
      bands.back().right = std::max(bands.back().right, ink);
    }
    inBand = ink >= 0;
  }
  return bands;
}

int DarkPixels(const XScreenImage& screen, const XRect& area) {
  int count = 0;
  const int top = std::max(0, area.y + 3), bottom = std::min(screen.height, area.y + area.height - 3);
  const int left = std::max(0, area.x + 3), right = std::min(screen.width, area.x + area.width - 3);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      if (screen.Luminance(x, y) < 160) ++count;
    }
  }
  return count;
}

int CenterX(const XRect& r) { return r.x + r.width / 2; }
int CenterY(const XRect& r) { return r.y + r.height / 2; }

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
             std::chrono::milliseconds every) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    if (condition()) return true;
    std::this_thread::sleep_for(every);
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

}  // namespace tallow::test
