// Dialog templates as data: what a dialog resource of the other system
// holds, laid out so that a back end can build the window from it.
#pragma once

#include <span>

#include "platform/text.h"
#include "platform/ui/ui_defs.h"

namespace tallow::ui {

enum class ControlKind {
  kStatic,      // text label
  kIcon,        // static showing an icon resource (text = icon id)
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
  int menuId = 0;
};

// The program's templates (res/), or null for an unknown id.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace tallow::ui
