// The program's icons as pixel art, found by id through tallow::ui::FindIconImage.
#pragma once

#include "platform/ui/dialog_template.h"

namespace tallow::res {

inline constexpr int IDI_APPLICATION_ICON = 128;  // 32 x 32
// 16 x 16: the tree's and the list's images, then the page buttons' pictures.
inline constexpr int IDI_DOCUMENT = 301;
inline constexpr int IDI_BOX = 302;
inline constexpr int IDI_BOX_SELECTED = 303;
inline constexpr int IDI_ROOT = 304;
inline constexpr int IDI_PREV_PAGE = 305;
inline constexpr int IDI_NEXT_PAGE = 306;

}  // namespace tallow::res
