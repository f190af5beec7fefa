// The program's dialog templates (dialog units).
#pragma once

#include <span>

#include "platform/ui/dialog_template.h"
#include "res/resource_ids.h"

namespace tallow::res {

extern const ui::DialogTemplate kAboutTemplate;
extern const ui::DialogTemplate kSelectMfpTemplate;
extern const ui::DialogTemplate kPasswordTemplate;
extern const ui::DialogTemplate kBasicSettingTemplate;
extern const ui::DialogTemplate kProgressTemplate;
extern const ui::DialogTemplate kMainTemplate;

// All of the above.
std::span<const ui::DialogTemplate* const> DialogTemplates();

}  // namespace tallow::res
