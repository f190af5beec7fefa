// Downloaded pages: the device layer stores each page of a document under
// its page-file name and reports its image information; the output writers
// and the preview read both.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace tallow {

// IMAGEFORMAT values of a document.
inline constexpr std::int32_t kImageFormatMono = 0;   // pages are TIFF files
inline constexpr std::int32_t kImageFormatColor = 1;  // pages are JPEG files

// One page's image information as the MFP reports it.
struct ImageInfo {
  std::int32_t XPIXEL;
  std::int32_t YPIXEL;
  std::int32_t XRESOLUTION;
  std::int32_t YRESOLUTION;
};

// Name of the file that holds page |page| of a document: folder, separator,
// the id as 8 upper-case hexadecimal digits, "_", the page and ".tif" (black
// and white) or ".jpg" (colour). Empty for any other image format.
WString PageFileName(WStringView folder, std::uint32_t fileId, int page, std::int32_t imageFormat);

}  // namespace tallow
