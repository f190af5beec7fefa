// Any bytes as a black-and-white page file from the device, decoded into a
// preview as the window back end does it: refused or drawn, never read
// outside the file or the picture, and drawn the same at its own size as
// the small picture says when it is small enough to ask.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "platform/bilevel_tiff.h"
#include "platform/image_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  const std::optional<tallow::ImageHeader> header = tallow::ReadImageHeader(file);
  if (!header || header->format != tallow::ImageFormat::kTiff) return 0;
  const int w = header->width, h = header->height;
  // The preview's picture: a few pixels of the whole page.
  const int cx = w < 8 ? w : 8, cy = h < 8 ? h : 8;
  std::vector<std::uint8_t> small(static_cast<std::size_t>(cx) * cy * 3);
  const bool drawn = tallow::AverageBilevelTiff(file, 0, 0, w, h, cx, cy, small.data());
  // A part of it, from an edge that is no whole pixel.
  std::vector<std::uint8_t> part(3);
  tallow::AverageBilevelTiff(file, w / 3.0, h / 2.5, w / 2.0, h / 2.0, 1, 1, part.data());
  if (!drawn || static_cast<long>(w) * h > 4096) return 0;
  // Small pages whole: every pixel black or white.
  std::vector<std::uint8_t> whole(static_cast<std::size_t>(w) * h * 3);
  if (!tallow::AverageBilevelTiff(file, 0, 0, w, h, w, h, whole.data())) std::abort();
  for (std::uint8_t v : whole) {
    if (v != 0 && v != 255) std::abort();
  }
  return 0;
}
