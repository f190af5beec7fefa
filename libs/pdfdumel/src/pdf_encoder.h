// The PDF writer behind PDF_Encode: one page per page file, each image
// embedded as the device made it where a PDF can hold it that way.
//
// Page size: the picture's own pixel counts over its resolution. The
// resolution comes from the device's page entry, else from the file (JFIF
// density, EXIF resolution, TIFF resolution tags with an absolute unit),
// else from the nearest page of the same document that has one (an earlier
// page first), else kDefaultDpi.
//
// A JPEG page goes in from its first byte to its end-of-image marker; bytes
// after the marker are left out.
#pragma once

#include <cstdint>
#include <string>

#include "codec_files.h"
#include "contracts/codec_api.h"
#include "page_limits.h"

namespace dumel {

// The resolution of a page that nothing describes: the usual setting of a
// scanner's colour and black-and-white scans.
inline constexpr double kDefaultDpi = 200;

struct PdfRequest {
  std::string output;      // the PDF file to write
  std::string workFolder;  // holds the page files
  const CodecPageInfo* pages = nullptr;  // indexed by page number; may be null
  std::uint32_t documentId = 0;
  std::int32_t firstPage = 0;
  std::int32_t lastPage = 0;
  std::int32_t colorFlag = CODEC_PDF_COLOR;
};

// Writes the whole file or nothing. False with a reason on failure; the
// output's name then holds what it held before.
bool EncodePdf(const PdfRequest& request, const PageLimits& limits, std::string& reason);

// The same document from |pages| into |out| (the request's output and work
// folder are not used). On failure |out| holds an unfinished document.
bool WritePdf(const PdfRequest& request, PageSource& pages, ByteOutput& out, const PageLimits& limits,
              std::string& reason);

}  // namespace dumel
