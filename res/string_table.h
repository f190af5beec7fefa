// The program's own string table: the texts that every lookup falls back to
// when neither the language file nor the resource library has the id.
// Texts 20005 and 21101 (the start-up failure boxes) are deliberately not
// here: they come from the language sources only.
// The text chain (core/) reads it directly rather than through a registered
// provider: core sits above res, and no text may depend on whether start-up
// has reached its registration step yet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tallow {

struct BuiltinString {
  std::int32_t id;
  const char16_t* text;  // never empty
};

inline constexpr std::size_t kBuiltinStringCount = 110;

std::span<const BuiltinString> BuiltinStrings();

// The text of |id|, or null when the table has none.
const char16_t* FindBuiltinString(std::int32_t id);

}  // namespace tallow
