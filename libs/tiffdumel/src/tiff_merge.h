// The multi-page TIFF writer behind MultiTiffEncode: every page file becomes
// one directory of the output, its compressed strips or tiles copied as
// they are, with the tags that describe them.
#pragma once

#include <cstdint>
#include <string>

#include <tiffio.h>

#include "codec_files.h"
#include "page_limits.h"

namespace dumel {

struct TiffRequest {
  std::string output;
  std::string workFolder;
  std::uint32_t documentId = 0;
  std::int32_t firstPage = 0;
  std::int32_t lastPage = 0;
};

// Writes the whole file or nothing. False with a reason on failure; the
// output's name then holds what it held before.
bool EncodeMultiTiff(const TiffRequest& request, const PageLimits& limits, std::string& reason);

// The pages from |pages| as the directories of |out| (the request's output
// and work folder are not used).
bool WriteMultiTiff(const TiffRequest& request, PageSource& pages, TIFF* out, const PageLimits& limits,
                    std::string& reason);

}  // namespace dumel
