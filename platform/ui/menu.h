// Menus: a window's menu bar, its system menu, and popup menus loaded from
// the menu resources. Items are found by command id (searching the popups
// too, as the other system does) or by position. UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/text.h"
#include "platform/ui/ui_defs.h"

namespace tallow::ui {

class CDialog;

class CMenu {
 public:
  struct Item {
    int id = 0;     // command id; 0 for a separator or a popup
    WString text;
    UINT state = 0;  // MF_CHECKED, MF_GRAYED
    bool separator = false;
    std::unique_ptr<CMenu> popup;
  };

  CMenu() = default;
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  // The menu resource |id| (LoadMenu), or null when there is none.
  static std::unique_ptr<CMenu> Load(int id);

  int GetMenuItemCount() const { return static_cast<int>(items_.size()); }
  // The command id at |pos|: -1 for a popup or no item, 0 for a separator.
  int GetMenuItemID(int pos) const;
  CMenu* GetSubMenu(int pos) const;
  WString GetMenuString(UINT item, UINT flags) const;
  // MF_CHECKED | MF_GRAYED as they stand, kMenuFailed for no such item.
  UINT GetMenuState(UINT item, UINT flags) const;
  const std::vector<Item>& Items() const { return items_; }

  // Each answers the previous state (MF_CHECKED or MF_GRAYED), kMenuFailed
  // for no such item.
  UINT CheckMenuItem(UINT item, UINT flags);
  UINT EnableMenuItem(UINT item, UINT flags);
  // Replaces the item's id and text; its check and gray states are reset.
  BOOL ModifyMenu(UINT item, UINT flags, int newId, WStringView text);
  // The text alone (SetMenuItemInfo with the string part).
  BOOL SetMenuItemText(UINT item, BOOL byPosition, WStringView text);
  BOOL AppendMenu(UINT flags, int id = 0, WStringView text = {});

  // Shows the popup at |x, y| (screen) for |owner|. The command chosen is
  // posted to the owner as WM_COMMAND; with TPM_RETURNCMD it is answered
  // instead. FALSE (or 0) when nothing was chosen.
  int TrackPopupMenu(UINT flags, int x, int y, CDialog* owner);

  // Told of every change; the system menu keeps its window up to date with it.
  void OnChange(std::function<void()> notify) { notify_ = std::move(notify); }

 private:
  // The item |item| names (by command or position), and its menu.
  Item* Find(UINT item, UINT flags);
  const Item* Find(UINT item, UINT flags) const;
  void Changed() const;

  std::vector<Item> items_;
  std::function<void()> notify_;
};

}  // namespace tallow::ui
