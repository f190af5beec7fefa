// The user's desktop folder, in place of the other system's shell query for
// it: XDG_DESKTOP_DIR of the user's "user-dirs.dirs" ($XDG_CONFIG_HOME, else
// ~/.config), else the home folder's "Desktop"; the home folder itself when
// that folder is not there.
#pragma once

#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

// A "user-dirs.dirs" larger than this is not read.
inline constexpr std::size_t kMaxUserDirsFileSize = 64 * 1024;

// FALSE (|path| emptied) when no home folder is known and the user-dirs
// file names no folder that is there.
BOOL GetDesktopDirectory(WString& path);

// The desktop entry of a "user-dirs.dirs" text, with "$HOME" resolved against
// |home|; empty when the text has no usable entry. The last usable entry wins.
WString ParseUserDirsDesktop(std::string_view contents, WStringView home);

}  // namespace tallow
