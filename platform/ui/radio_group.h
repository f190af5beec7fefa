// The automatic radio buttons of a group, for the window layer's own files.
#pragma once

#include <vector>

#include "platform/ui/control.h"

namespace tallow::ui {

class CDialog;

// The radio buttons of the group that |member| belongs to: from the nearest
// control with WS_GROUP at or before it up to the next one with WS_GROUP.
std::vector<Control*> RadiosOf(const CDialog& dialog, const Control* member);

}  // namespace tallow::ui
