// Any bytes as a page file from the device: the header reader must answer
// without reading outside the file, and any size it gives must be drawable
// within the bounds the writers hold too, so that decoding it never asks
// for the memory a hostile header declares.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>

#include "platform/image_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<tallow::ImageHeader> header =
      tallow::ReadImageHeader(std::span<const std::uint8_t>(data, size));
  if (!header) return 0;
  if (header->width <= 0 || header->height <= 0 || header->width > tallow::kMaxImageSide ||
      header->height > tallow::kMaxImageSide ||
      static_cast<std::uint64_t>(header->width) * static_cast<std::uint64_t>(header->height) >
          tallow::kMaxImagePixels) {
    std::abort();
  }
  return 0;
}
