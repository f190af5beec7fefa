// Resources as data: what the dialog, menu and icon resources of the other
// system hold, laid out so that a back end can build the windows from them.
#pragma once

#include <cstdint>
#include <span>

#include "platform/text.h"
#include "platform/ui/ui_defs.h"

namespace tallow::ui {

enum class ControlKind {
  kStatic,      // text label
  kIcon,        // static showing an icon resource (resourceId)
  kPicture,     // static frame a dialog paints a picture into
  kButton,      // push button (BS_DEFPUSHBUTTON makes it the default)
  kCheckBox,
  kRadio,
  kGroupBox,
  kEdit,
  kProgress,
  kUpDown,
  kListView,
  kTreeView,
  kComboBox,
};

struct ControlTemplate {
  int id;             // IDC_STATIC for controls the code never names
  ControlKind kind;
  Rect rect;          // dialog units
  DWORD style;        // kind-specific and window styles
  const char16_t* text;
  int resourceId = 0; // icon of a kIcon control
};

struct DialogTemplate {
  int id;
  Rect rect;          // dialog units
  DWORD style;
  DWORD exStyle;
  const char16_t* caption;
  const char16_t* fontName;
  int fontPoints;
  std::span<const ControlTemplate> controls;
  int menuId = 0;     // the window's menu bar, 0 for none
};

// A menu item: a command (id, text), a separator (MF_SEPARATOR), or a popup
// (MF_POPUP) with its own items. MF_CHECKED and MF_GRAYED give its state.
struct MenuItemTemplate {
  int id;
  const char16_t* text;
  UINT flags;
  std::span<const MenuItemTemplate> items;
};

struct MenuTemplate {
  int id;
  std::span<const MenuItemTemplate> items;
};

// An icon drawn as a square of characters, one a pixel, each looked up in
// the palette; a character the palette lacks is transparent.
struct IconColour {
  char key;
  std::uint32_t argb;
};

struct IconImage {
  int id;
  int size;  // pixels across and down; rows holds |size| rows of |size| characters
  std::span<const char* const> rows;
  std::span<const IconColour> palette;
};

// What the program registers at start-up (its own are in res/): the layer
// looks every dialog, menu and icon up here, and knows no resource itself.
struct ResourceTables {
  std::span<const DialogTemplate* const> dialogs;
  std::span<const MenuTemplate* const> menus;
  std::span<const IconImage> icons;
};

// Makes |tables| the ones the lookups answer from (null: none) and returns
// those registered before. The tables and all they point to must outlive
// their registration.
const ResourceTables* RegisterResources(const ResourceTables* tables);

// The registered resource with |id|, or null: for an unknown id, and for
// every id while none are registered.
const DialogTemplate* FindDialogTemplate(int id);
const MenuTemplate* FindMenuTemplate(int id);
const IconImage* FindIconImage(int id);

}  // namespace tallow::ui
