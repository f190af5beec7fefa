// Reads a fuzzer's input from the front: little-endian numbers and runs of
// bytes with a 2-byte length before them. Past the end every number is 0
// and every run empty, so that any input decodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}
  bool empty() const { return n_ == 0; }
  // A number of |bytes| bytes (at most 4), the first the lowest.
  std::uint32_t Take(std::size_t bytes) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < bytes && n_ > 0; ++i, ++p_, --n_) v |= std::uint32_t{*p_} << (8 * i);
    return v;
  }
  // A 2-byte length, then that many bytes (fewer at the end).
  std::string Bytes() {
    std::size_t length = Take(2);
    if (length > n_) length = n_;
    std::string s(reinterpret_cast<const char*>(p_), length);
    p_ += length;
    n_ -= length;
    return s;
  }

 private:
  const std::uint8_t* p_;
  std::size_t n_;
};

}  // namespace fuzz
