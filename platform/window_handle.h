// The handle of a window, as the system's own code passes it around. The
// window layer gives it a meaning; everything else only hands it on.
#pragma once

namespace tallow {

using HWND = void*;

}  // namespace tallow
