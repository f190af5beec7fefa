// What a PDF needs to know about a JPEG file to embed it unchanged: its
// frame (size, components), its colour conventions and the density of a
// JFIF header. The file is untrusted: every marker is read within its
// segment and within the file.
#pragma once

#include <cstdint>
#include <string>

#include "codec_files.h"

namespace dumel {

struct JpegHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int components = 0;  // 1 grey, 3 colour, 4 CMYK
  bool adobe = false;  // an Adobe APP14 segment was present
  int adobeTransform = -1;
  bool rgbComponentIds = false;  // component ids 'R', 'G', 'B'
  bool jfif = false;
  // Dots per inch from the JFIF header; 0 when not given.
  double xDensity = 0;
  double yDensity = 0;
};

// Reads the markers up to the first scan. False, with a reason, for
// anything a PDF reader cannot show as it is: no JPEG, a frame other than
// 8-bit baseline, extended or progressive Huffman, a component count other
// than 1, 3 or 4, no scan, or a file cut short (no end-of-image marker).
bool ReadJpegHeader(const InputFile& file, JpegHeader& header, std::string& reason);

// Whether the colour values must pass through the YCbCr (or YCCK) transform
// after decoding, as a JPEG decoder decides it from the markers.
bool JpegUsesColorTransform(const JpegHeader& header);

}  // namespace dumel
