#include "res/menus.h"

namespace tallow::res {

using namespace tallow::ui;

namespace {

constexpr MenuItemTemplate kSettingsItems[] = {
    {ID_SETTINGS_SELECT_MFP, u"Select MFP", MF_STRING, {}},
    {ID_SETTINGS_BASIC, u"Basic Settings", MF_STRING, {}},
};

// The window starts in Advanced Mode's state; the mode switch moves the check
// and the gray to whichever mode is current.
constexpr MenuItemTemplate kModeItems[] = {
    {ID_MODE_ADVANCED, u"Advanced Mode", MF_STRING | MF_CHECKED | MF_GRAYED, {}},
    {ID_MODE_SIMPLE, u"Simple Mode", MF_STRING, {}},
};

constexpr MenuItemTemplate kMainMenuItems[] = {
    {0, u"Settings", MF_POPUP, kSettingsItems},
    {0, u"Mode Change", MF_POPUP, kModeItems},
};

constexpr MenuItemTemplate kDocumentItems[] = {
    {ID_DOCUMENT_DELETE, u"Delete", MF_STRING, {}},
};

// Only the popup's items are ever shown (as the list's context menu), so the
// popup itself needs no text.
constexpr MenuItemTemplate kDocumentMenuItems[] = {
    {0, u"", MF_POPUP, kDocumentItems},
};

}  // namespace

const MenuTemplate kMainMenu = {IDR_MAIN_MENU, kMainMenuItems};
const MenuTemplate kDocumentMenu = {IDR_DOCUMENT_MENU, kDocumentMenuItems};

std::span<const MenuTemplate* const> MenuTemplates() {
  static constexpr const MenuTemplate* kMenus[] = {&kMainMenu, &kDocumentMenu};
  return kMenus;
}

}  // namespace tallow::res
