// The program's dialog templates (dialog units), found by id through
// tallow::ui::FindDialogTemplate.
#pragma once

#include "platform/ui/dialog_template.h"

namespace tallow::res {

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_PASSWORD = 203;
inline constexpr int IDD_PROGRESS = 206;
inline constexpr int IDI_APPLICATION_ICON = 128;

extern const ui::DialogTemplate kAboutTemplate;
extern const ui::DialogTemplate kPasswordTemplate;
extern const ui::DialogTemplate kProgressTemplate;

}  // namespace tallow::res
