// The PDF writer behind PDF_Encode: one page per page file, each image
// embedded as the device made it where a PDF can hold it that way.
#pragma once

#include <cstdint>
#include <string>

#include "contracts/codec_api.h"
#include "page_limits.h"

namespace dumel {

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

}  // namespace dumel
