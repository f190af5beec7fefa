// Any string table as a resource library hands it out: texts of any length,
// empty and missing ones, repeated ids, pairs of surrogates and NULs inside,
// and counts beyond what the reader accepts. Every lookup must fit its
// buffer, end in a NUL, and give a prefix of the first entry with its id.
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "input_reader.h"
#include "platform/string_resources.h"

namespace {

std::vector<TallowStringResource> g_entries;
std::uint32_t g_count = 0;

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void Check(tallow::HMODULE module, std::uint32_t id, int bufferMax) {
  std::vector<char16_t> buffer(static_cast<std::size_t>(bufferMax) + 1, u'#');
  const int n = tallow::LoadStringW(module, id, buffer.data(), bufferMax);
  if (n < 0 || n >= bufferMax) __builtin_trap();
  if (buffer[static_cast<std::size_t>(n)] != 0 || buffer[static_cast<std::size_t>(bufferMax)] != u'#') {
    __builtin_trap();
  }
  const TallowStringResource* first = nullptr;
  if (g_count <= TALLOW_MAX_STRING_RESOURCES) {
    for (const TallowStringResource& e : g_entries) {
      if (e.id == id) {
        first = &e;
        break;
      }
    }
  }
  if (!first || !first->text) {
    if (n != 0) __builtin_trap();
    return;
  }
  // A prefix of the text, cut only at the buffer, a NUL, or before a pair.
  const std::size_t room = static_cast<std::size_t>(bufferMax) - 1;
  std::size_t expected = first->length < room ? first->length : room;
  if (expected > 0 && expected < first->length && IsHigh(first->text[expected - 1]) &&
      IsLow(first->text[expected])) {
    --expected;
  }
  for (std::size_t i = 0; i < expected; ++i) {
    if (first->text[i] == 0) {
      expected = i;
      break;
    }
  }
  if (static_cast<std::size_t>(n) != expected) __builtin_trap();
  for (std::size_t i = 0; i < expected; ++i) {
    if (buffer[i] != first->text[i]) __builtin_trap();
  }
}

}  // namespace

// The export of a resource library, found by name in this program.
extern "C" __attribute__((visibility("default"))) const TallowStringResource* TallowStringResources(
    std::uint32_t* count) {
  *count = g_count;
  return g_entries.empty() ? nullptr : g_entries.data();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tallow::HMODULE self = ::dlopen(nullptr, RTLD_NOW);
  fuzz::InputReader in(data, size);
  // Texts live in one store that does not move once filled.
  std::vector<char16_t> store;
  struct Entry {
    std::uint32_t id;
    std::uint32_t length;
    std::size_t at;
    bool null;
  };
  std::vector<Entry> parsed;
  const std::uint32_t flags = in.Take(1);
  while (!in.empty() && parsed.size() < 64) {
    Entry e{in.Take(1), in.Take(1), store.size(), false};
    e.null = (e.length & 0x80) != 0;
    e.length &= 0x7F;
    for (std::uint32_t i = 0; i < e.length && !in.empty(); ++i) {
      store.push_back(static_cast<char16_t>(in.Take(2)));
    }
    e.length = static_cast<std::uint32_t>(store.size() - e.at);
    parsed.push_back(e);
  }
  g_entries.clear();
  for (const Entry& e : parsed) {
    g_entries.push_back({e.id, e.length, e.null ? nullptr : store.data() + e.at});
  }
  // A table claiming more entries than the reader takes must not be read.
  g_count = (flags & 1) ? TALLOW_MAX_STRING_RESOURCES + 1 : static_cast<std::uint32_t>(g_entries.size());

  const int sizes[] = {1, 2, 3, static_cast<int>(flags >> 1) + 1, 513};
  for (int bufferMax : sizes) {
    for (const TallowStringResource& e : g_entries) Check(self, e.id, bufferMax);
    Check(self, 0x1000, bufferMax);  // an id no entry has
  }
  return 0;
}
