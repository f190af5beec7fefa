// The plain source text of a language file: what it holds once read, and the
// reader that checks it. The syntax is described in README.md beside this.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallow::lrcbuild {

// The longest text the program shows; longer ones would be cut.
inline constexpr std::size_t kMaxShownLength = 512;
inline constexpr std::uint32_t kMaxStringId = 65535;

// Entry flags and kind, as the language file stores them.
inline constexpr std::uint8_t kFlagMarkHotkey = 0x01;
inline constexpr std::uint8_t kFlagColon = 0x02;
inline constexpr std::uint8_t kFlagEllipsis = 0x04;
inline constexpr std::uint8_t kFlagSpace = 0x08;
inline constexpr std::uint8_t kFlagHotkeyInParentheses = 0x10;
inline constexpr std::int16_t kKindPlain = 0;
inline constexpr std::int16_t kKindMenuItem = 5;

struct Entry {
  std::uint32_t id = 0;
  std::u16string text;
  char16_t hotkey = 0;
  std::uint8_t flags = 0;
  std::int16_t kind = kKindPlain;
};

struct Source {
  std::array<std::uint8_t, 4> version{};
  std::uint32_t charset = 0;
  std::vector<Entry> entries;  // in the order of the source
};

struct Problem {
  int line;  // 0: the source as a whole
  std::string message;
};

// Reads a whole source text (UTF-8). Every fault found is added to
// |problems|; the result is empty when there was any.
std::optional<Source> ParseSource(std::string_view text, std::vector<Problem>& problems);

}  // namespace tallow::lrcbuild
