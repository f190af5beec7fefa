// The program's own version block: the version resource built into it.
#pragma once

#include <cstdint>
#include <vector>

namespace tallow::res {

// One translation (language 0, code page 1200: UTF-16) and its string table.
std::vector<std::uint8_t> ProgramVersionBlock();

}  // namespace tallow::res
