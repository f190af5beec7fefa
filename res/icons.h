// The program's icons as pixel art.
#pragma once

#include <span>

#include "platform/ui/dialog_template.h"
#include "res/resource_ids.h"

namespace tallow::res {

std::span<const ui::IconImage> IconImages();

}  // namespace tallow::res
