// What a PDF needs to know about a JPEG file to embed it unchanged: its
// frame (size, components), its colour conventions and its resolution
// (JFIF density, or EXIF's). The file is untrusted: every marker is read
// within its segment and within the file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec_files.h"

namespace dumel {

// Reads a page through one buffer kept from page to page, so that a page
// that fits the buffer is read once, for its markers and its data alike.
class PageWindow {
 public:
  static constexpr std::size_t kSize = 4 << 20;

  PageWindow(const PageReader& page, std::vector<std::uint8_t>& buffer);
  std::uint64_t Size() const { return page_.Size(); }
  // The bytes from |offset| on as far as the buffer holds them (at least one
  // unless |offset| is the end); 0 at the end or when the page cannot be read.
  std::size_t Bytes(std::uint64_t offset, const std::uint8_t** data);
  // Exactly |n| (at most kSize) bytes at |offset|, in one piece.
  bool Span(std::uint64_t offset, std::size_t n, const std::uint8_t** data);

 private:
  bool Fill(std::uint64_t offset);

  const PageReader& page_;
  std::vector<std::uint8_t>& buffer_;
  std::uint64_t start_ = 0;
  std::size_t filled_ = 0;
};

struct JpegHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int components = 0;  // 1 grey, 3 colour, 4 CMYK
  bool adobe = false;  // an Adobe APP14 segment was present
  int adobeTransform = -1;
  bool rgbComponentIds = false;  // component ids 'R', 'G', 'B'
  bool jfif = false;
  // Dots per inch from the JFIF header, else from EXIF; 0 when neither says.
  double xDensity = 0;
  double yDensity = 0;
  // Where the coded data of the first scan begins.
  std::uint64_t scanData = 0;
};

// Reads the markers up to the first scan. False, with a reason, for
// anything a PDF reader cannot show as it is: no JPEG, a frame other than
// 8-bit baseline, extended or progressive Huffman, a component count other
// than 1, 3 or 4, or no scan.
bool ReadJpegHeader(PageWindow& page, JpegHeader& header, std::string& reason);

// Hands the image to |sink| in pieces, from its first byte to its
// end-of-image marker included; bytes after that marker (padding, a line
// feed) are left out, as decoders ignore them. False, with a reason, when
// the image ends without the marker (a file cut short) or |sink| fails.
using JpegSink = std::function<bool(const std::uint8_t* data, std::size_t size)>;
bool CopyJpegImage(PageWindow& page, const JpegHeader& header, const JpegSink& sink, std::string& reason);

// Whether the colour values must pass through the YCbCr (or YCCK) transform
// after decoding, as a JPEG decoder decides it from the markers.
bool JpegUsesColorTransform(const JpegHeader& header);

}  // namespace dumel
