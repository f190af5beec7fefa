// The bytes of a language file ("LWQX") made from a checked source.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/lrc-build/source.h"

namespace tallow::lrcbuild {

// A header with the source's version, and one string section in the
// source's character set holding every entry in the source's order, each
// with its hotkey (the extra data is that one character), flags and kind.
std::vector<std::uint8_t> BuildLanguageFile(const Source& source);

}  // namespace tallow::lrcbuild
