// The bytes of a TIFF file read in its own byte order: the one reader of
// the page-header probe and of the black-and-white page decoder. Callers
// check that what they read lies inside the file (Has).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tallow {

class TiffBytes {
 public:
  TiffBytes(std::span<const std::uint8_t> data, bool bigEndian) : data_(data), big_(bigEndian) {}

  // Whether |size| bytes from |at| lie inside the file.
  bool Has(std::uint64_t at, std::uint64_t size) const {
    return at <= data_.size() && size <= data_.size() - at;
  }
  std::uint16_t U16(std::size_t at) const {
    const std::uint16_t a = data_[at], b = data_[at + 1];
    return static_cast<std::uint16_t>(big_ ? (a << 8) | b : (b << 8) | a);
  }
  std::uint32_t U32(std::size_t at) const {
    const std::uint32_t a = U16(at), b = U16(at + 2);
    return big_ ? (a << 16) | b : (b << 16) | a;
  }

 private:
  std::span<const std::uint8_t> data_;
  bool big_;
};

}  // namespace tallow
