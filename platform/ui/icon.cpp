#include "platform/ui/icon.h"

#include <cstring>

namespace tallow::ui {

HICON LoadIconW(int id) { return FindIconImage(id) ? id : 0; }

int GetSystemMetrics(int index) {
  return index == SM_CXICON || index == SM_CYICON ? 32 : 0;
}

std::vector<std::uint32_t> RenderIcon(HICON icon, int size) {
  if (size <= 0) return {};
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * size, 0);
  const IconImage* image = FindIconImage(icon);
  if (!image || image->size <= 0 || image->rows.size() < static_cast<std::size_t>(image->size)) {
    return pixels;
  }
  for (int y = 0; y < size; ++y) {
    const char* row = image->rows[static_cast<std::size_t>(y) * image->size / size];
    const std::size_t length = row ? std::strlen(row) : 0;
    for (int x = 0; x < size; ++x) {
      const std::size_t at = static_cast<std::size_t>(x) * image->size / size;
      if (at >= length) continue;
      for (const IconColour& colour : image->palette) {
        if (colour.key == row[at]) {
          pixels[static_cast<std::size_t>(y) * size + x] = colour.argb;
          break;
        }
      }
    }
  }
  return pixels;
}

BOOL CImageList::Create(int cx, int cy, UINT /*flags*/, int initial, int /*grow*/) {
  if (cx <= 0 || cy <= 0) return FALSE;
  cx_ = cx;
  cy_ = cy;
  icons_.clear();
  icons_.reserve(initial > 0 ? static_cast<std::size_t>(initial) : 0);
  return TRUE;
}

void CImageList::DeleteImageList() {
  cx_ = cy_ = 0;
  icons_.clear();
}

COLORREF CImageList::SetBkColor(COLORREF colour) {
  const COLORREF previous = background_;
  background_ = colour;
  return previous;
}

int CImageList::Add(HICON icon) {
  if (!IsCreated() || !icon) return -1;
  icons_.push_back(icon);
  return static_cast<int>(icons_.size()) - 1;
}

HICON CImageList::GetIcon(int index) const {
  return index >= 0 && index < GetImageCount() ? icons_[index] : 0;
}

}  // namespace tallow::ui
