// Any bytes as a language file: the reader must accept or refuse them without
// reading outside the file, and every text it builds must fit its buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/language_file.h"
#include "platform/fonts.h"

namespace {

// Deterministic and fast: one character set lacks a font, no font service is asked.
class FuzzFonts : public tallow::FontBackend {
 public:
  tallow::FontAnswer FindFontForCharset(std::uint8_t charset) override {
    return charset == tallow::SHIFTJIS_CHARSET ? tallow::FontAnswer::kNotFound
                                               : tallow::FontAnswer::kFound;
  }
};

std::uint32_t Read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FuzzFonts fonts;
  tallow::InstallFontBackend(&fonts);

  tallow::LrcFilePtr file = tallow::LrcOpenMemory(data, size);
  if (!file) return 0;
  // Ask for ids that occur in the file (every entry's id among them) and for
  // one that may not.
  int asked = 0;
  for (std::size_t at = tallow::kLrcHeaderSize; at + 4 <= size && asked < 512; at += 2, ++asked) {
    tallow::LrcText text = tallow::LrcFindString(file.get(), Read32(data + at));
    if (text) {
      std::size_t n = 0;
      while (text[n] != 0) ++n;
    }
  }
  tallow::LrcFindString(file.get(), 0xFFFFFFFFu);
  tallow::LrcText version = tallow::LrcGetVersionText(file.get());
  if (!version) std::abort();
  return 0;
}
