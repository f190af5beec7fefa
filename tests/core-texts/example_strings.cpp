// An example resource library: the string table that a translation would
// ship beside the program.
#include <array>
#include <cstdint>

#include "contracts/string_resources.h"

namespace {

constexpr std::array<char16_t, 600> kLong = [] {
  std::array<char16_t, 600> a{};
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<char16_t>(u'A' + i % 26);
  return a;
}();

template <std::size_t N>
constexpr TallowStringResource Text(std::uint32_t id, const char16_t (&text)[N]) {
  return {id, static_cast<std::uint32_t>(N - 1), text};
}

constexpr TallowStringResource kTable[] = {
    Text(10102, u"Library Preview"),
    Text(10103, u"Library Delete"),
    {10104, 0, u""},  // an empty text is no text
    Text(10109, u"Library Refresh"),
    Text(10109, u"Library Refresh, second"),
    Text(21001, u"Library: the scanner does not answer."),
    Text(20005, u"Tallowmere"),
    Text(21101, u"Unable to load %s."),
    Text(8003, u"Library USB"),
    {30001, static_cast<std::uint32_t>(kLong.size()), kLong.data()},
};

}  // namespace

#ifndef WITHOUT_TABLE
extern "C" __attribute__((visibility("default"))) const TallowStringResource* TallowStringResources(
    std::uint32_t* count) {
  *count = static_cast<std::uint32_t>(std::size(kTable));
  return kTable;
}
#else
// Loads, but holds no strings.
extern "C" __attribute__((visibility("default"))) int TallowSomethingElse() { return 1; }
#endif
