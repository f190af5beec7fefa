// The program's menus: the main window's menu bar and the document list's
// context menu.
#pragma once

#include <span>

#include "platform/ui/dialog_template.h"
#include "res/resource_ids.h"

namespace tallow::res {

extern const ui::MenuTemplate kMainMenu;
extern const ui::MenuTemplate kDocumentMenu;

// Both of the above.
std::span<const ui::MenuTemplate* const> MenuTemplates();

}  // namespace tallow::res
