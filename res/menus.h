// The program's menus: the main window's menu bar and the document list's
// context menu, found by id through tallow::ui::FindMenuTemplate.
#pragma once

#include "platform/ui/dialog_template.h"

namespace tallow::res {

inline constexpr int IDR_MAIN_MENU = 402;
inline constexpr int IDR_DOCUMENT_MENU = 403;

extern const ui::MenuTemplate kMainMenu;
extern const ui::MenuTemplate kDocumentMenu;

}  // namespace tallow::res
