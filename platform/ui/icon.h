// Icons and image lists. An icon is named by its resource id; the pictures
// are those registered (FindIconImage), turned into pixels here for the back
// ends that draw them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ui/dialog_template.h"
#include "platform/ui/ui_defs.h"

namespace tallow::ui {

// The icon resource |id|, or 0 when the program has none.
HICON LoadIconW(int id);
// The system's answer for SM_CXICON / SM_CYICON (32); 0 for other indexes.
int GetSystemMetrics(int index);
// The icon drawn |size| pixels square (nearest pixel), as ARGB rows; every
// pixel transparent for an unknown icon.
std::vector<std::uint32_t> RenderIcon(HICON icon, int size);

inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR = 0x0000;
inline constexpr UINT ILC_COLOR24 = 0x0018;
inline constexpr UINT ILC_COLOR32 = 0x0020;
inline constexpr COLORREF CLR_NONE = 0xFFFFFFFFu;

// A list of icons of one size, shared by list and tree views.
class CImageList {
 public:
  BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
  void DeleteImageList();
  bool IsCreated() const { return cx_ > 0; }
  COLORREF SetBkColor(COLORREF colour);  // answers the previous colour
  COLORREF GetBkColor() const { return background_; }
  // The index given to |icon|; -1 before Create or for no icon.
  int Add(HICON icon);
  int GetImageCount() const { return static_cast<int>(icons_.size()); }
  HICON GetIcon(int index) const;
  Size GetIconSize() const { return {cx_, cy_}; }

 private:
  int cx_ = 0;
  int cy_ = 0;
  COLORREF background_ = CLR_NONE;
  std::vector<HICON> icons_;
};

}  // namespace tallow::ui
