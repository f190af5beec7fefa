// Language files for tests: a valid file of a chosen version with one string
// section holding the entries given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tallow::test {

struct LrcEntry {
  std::uint32_t id;
  std::u16string text;  // the terminating 0 is added
};

// A valid language file of version a.b.c.d with one string section (ANSI
// character set) holding |entries| without hotkeys or flags.
inline std::vector<std::uint8_t> LanguageFileBytes(const std::vector<LrcEntry>& entries,
                                                   std::vector<std::uint8_t> version = {1, 0, 0, 0}) {
  std::vector<std::uint8_t> b;
  auto put16 = [&](std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto put32 = [&](std::uint32_t v) {
    put16(static_cast<std::uint16_t>(v));
    put16(static_cast<std::uint16_t>(v >> 16));
  };
  auto patch32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  b.assign(152, 0);
  const char magic[] = "LWQX";
  for (std::size_t i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(magic[i]);
  for (std::size_t i = 0; i < 4 && i < version.size(); ++i) b[4 + i] = version[i];
  patch32(136, 152);
  patch32(144, 1);  // one section, of type 1

  const std::size_t section = b.size();
  put32(1);   // type
  put32(28);  // header size
  put32(0);   // data size, patched below
  put32(0);
  put32(0);   // ANSI character set
  put32(1);
  put32(static_cast<std::uint32_t>(entries.size()));
  const std::size_t data = b.size();
  for (const LrcEntry& e : entries) {
    put32(e.id);
    put16(0);  // kind
    b.push_back(0);  // flags
    b.push_back(0);
    put16(2);  // extra size: the hotkey only
    put16(static_cast<std::uint16_t>((e.text.size() + 1) * 2));
    put16(0);  // no hotkey
    for (char16_t c : e.text) put16(c);
    put16(0);
  }
  patch32(section + 8, static_cast<std::uint32_t>(b.size() - data));
  patch32(140, static_cast<std::uint32_t>(b.size() - 152));
  return b;
}

// 'A'..'Z' over and over, so that a cut shows where it fell.
inline std::u16string LongText(std::size_t length) {
  std::u16string s;
  for (std::size_t i = 0; i < length; ++i) s.push_back(static_cast<char16_t>(u'A' + i % 26));
  return s;
}

}  // namespace tallow::test
