// Pictures made smaller by area averaging, as HALFTONE stretching shows
// them: each pixel of the result is the mean of the part of the source it
// covers, source pixels cut by its edges counted by the share of them it
// covers. Integer passes over the source, for a fraction of the cost of a
// general resampling filter.
#pragma once

#include <cstdint>
#include <vector>

namespace tallow {

// Coverage is counted in 1/kAreaUnit of a source pixel.
inline constexpr int kAreaUnit = 256;

// One axis of a reduction: the edges of the |count| target pixels over the
// part [from, from + length) of a source |limit| pixels long, in
// 1/kAreaUnit of a source pixel; the part is clipped to the source first.
// Empty when the clipped part is shorter than |count| pixels (not a
// reduction) or |count| is not positive.
std::vector<std::int64_t> AreaEdges(double from, double length, int count, int limit);

// Packed rows of 3-byte RGB pixels.
struct RgbPixels {
  const std::uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
};

// The part of |from| at |x, y| of |width| x |height| pixels (fractions
// allowed) averaged into |cx| x |cy| pixels at |to| (cx * cy * 3 bytes).
// False, |to| untouched, when that is no reduction (see AreaEdges) or the
// part misses the picture.
bool AreaAverage(const RgbPixels& from, double x, double y, double width, double height, int cx,
                 int cy, std::uint8_t* to);

}  // namespace tallow
