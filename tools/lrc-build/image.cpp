#include "tools/lrc-build/image.h"

namespace tallow::lrcbuild {

namespace {

constexpr std::size_t kHeaderSize = 152;
constexpr std::size_t kVersionOffset = 4;
constexpr std::size_t kFirstSectionOffset = 136;
constexpr std::size_t kBodySizeOffset = 140;
constexpr std::size_t kSectionMaskOffset = 144;
constexpr std::uint32_t kStringSectionType = 1;
// Type, header size, data size, a word not read, character set, table
// format and entry count.
constexpr std::uint32_t kStringSectionHeaderSize = 28;
constexpr std::size_t kSectionDataSizeOffset = 8;
constexpr std::uint32_t kTableFormat = 1;
// The extra data holds the hotkey and nothing else.
constexpr std::uint16_t kExtraSize = 2;

class Writer {
 public:
  void U8(std::uint8_t v) { bytes_.push_back(v); }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v));
    U8(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void Patch32(std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  std::size_t Size() const { return bytes_.size(); }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace

std::vector<std::uint8_t> BuildLanguageFile(const Source& source) {
  Writer w;
  for (char c : {'L', 'W', 'Q', 'X'}) w.U8(static_cast<std::uint8_t>(c));
  while (w.Size() < kHeaderSize) w.U8(0);
  for (std::size_t i = 0; i < source.version.size(); ++i) w.Bytes()[kVersionOffset + i] = source.version[i];
  w.Patch32(kFirstSectionOffset, kHeaderSize);
  w.Patch32(kSectionMaskOffset, kStringSectionType);

  const std::size_t section = w.Size();
  w.U32(kStringSectionType);
  w.U32(kStringSectionHeaderSize);
  w.U32(0);  // data size, known at the end
  w.U32(0);
  w.U32(source.charset);
  w.U32(kTableFormat);
  w.U32(static_cast<std::uint32_t>(source.entries.size()));
  const std::size_t data = w.Size();
  for (const Entry& e : source.entries) {
    w.U32(e.id);
    w.U16(static_cast<std::uint16_t>(e.kind));
    w.U8(e.flags);
    w.U8(0);
    w.U16(kExtraSize);
    // The source's length check keeps this far inside 16 bits.
    w.U16(static_cast<std::uint16_t>((e.text.size() + 1) * 2));
    w.U16(e.hotkey);
    for (char16_t c : e.text) w.U16(c);
    w.U16(0);
  }
  w.Patch32(section + kSectionDataSizeOffset, static_cast<std::uint32_t>(w.Size() - data));
  w.Patch32(kBodySizeOffset, static_cast<std::uint32_t>(w.Size() - kHeaderSize));
  return std::move(w.Bytes());
}

}  // namespace tallow::lrcbuild
