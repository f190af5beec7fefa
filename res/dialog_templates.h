// The program's dialog templates (dialog units), found by id through
// tallow::ui::FindDialogTemplate.
#pragma once

#include "platform/ui/dialog_template.h"
#include "res/icons.h"

namespace tallow::res {

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_SELECT_MFP = 202;
inline constexpr int IDD_PASSWORD = 203;
inline constexpr int IDD_BASIC_SETTING = 205;
inline constexpr int IDD_PROGRESS = 206;
inline constexpr int IDD_MAIN = 207;

extern const ui::DialogTemplate kAboutTemplate;
extern const ui::DialogTemplate kSelectMfpTemplate;
extern const ui::DialogTemplate kPasswordTemplate;
extern const ui::DialogTemplate kBasicSettingTemplate;
extern const ui::DialogTemplate kProgressTemplate;
extern const ui::DialogTemplate kMainTemplate;

}  // namespace tallow::res
