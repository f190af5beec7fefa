// How a TIFF page goes into a PDF, and the page's image data in that form.
// Black-and-white CCITT pages in one strip are embedded as they are; other
// black-and-white pages are encoded again as one CCITT Group 4 strip
// (lossless); 8-bit grey and RGB pages go in as samples; anything else
// libtiff can read goes in as 8-bit RGB.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec_files.h"
#include "page_limits.h"
#include "tiff_files.h"

namespace dumel {

enum class TiffPageKind {
  kCcittAsIs,   // strip 0 of the file, bits reversed when FillOrder is 2
  kCcittAgain,  // decoded and encoded again as Group 4
  kSamples,     // decoded 8-bit samples, 1 or 3 per pixel
  kRgb,         // decoded through libtiff's RGBA reader
};

struct TiffPagePlan {
  TiffPageKind kind = TiffPageKind::kRgb;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // Black-and-white pages: CCITT parameters. K is -1 (Group 4), 0 (Group 3,
  // one-dimensional) or 1 (Group 3, two-dimensional).
  int k = -1;
  bool blackIs1 = false;
  std::uint64_t stripOffset = 0;
  std::uint64_t stripBytes = 0;
  bool reverseBits = false;
  // Sample pages: 1 (grey) or 3 (RGB) components; grey that is stored
  // min-is-white is shown through an inverted decode range.
  int components = 1;
  bool invertGray = false;
  // From the file; 0 when it does not say.
  double xDpi = 0;
  double yDpi = 0;
};

// One TIFF page opened for reading: the handle, and the count of errors
// libtiff reported while reading it. Stays where it is made.
struct TiffInput {
  TiffInput() = default;
  TiffInput(const TiffInput&) = delete;
  TiffInput& operator=(const TiffInput&) = delete;
  int errors = 0;
  TiffHandle handle;  // after |errors|, which it points to
};

// Opens |page| into |input| and reads how it goes into a PDF.
bool PlanTiffPage(const PageReader& page, const PageLimits& limits, TiffInput& input, TiffPagePlan& plan,
                  std::string& reason);

// Produces the page's data for the PDF stream. Throws std::runtime_error
// when the page does not read as planned.
using ByteSink = std::function<void(const std::uint8_t* data, std::size_t size)>;
// |scratch| is a buffer kept from page to page.
void WriteTiffPageData(const PageReader& page, TiffInput& input, const TiffPagePlan& plan,
                       const PageLimits& limits, std::vector<std::uint8_t>& scratch, const ByteSink& sink);

}  // namespace dumel
