// Bounds on what one page file may make the codec libraries read, allocate
// and produce. Page files come from the device and are untrusted.
#pragma once

#include <cstdint>
#include <string>

#include "contracts/page_limits.h"

namespace dumel {

struct PageLimits {
  // A page file larger than this is refused. The program's preview holds
  // the same three bounds.
  std::uint64_t maxFileBytes = PAGE_MAX_FILE_BYTES;
  // Width times height.
  std::uint64_t maxPixels = PAGE_MAX_PIXELS;
  // Each side.
  std::uint32_t maxSide = PAGE_MAX_SIDE;
  // One allocation inside libtiff, and one band of decoded rows.
  std::int64_t maxSingleAlloc = std::int64_t{256} << 20;
  // Pages of one document.
  std::int64_t maxPages = 100000;
};

// A page range that is sound and within the limits.
inline bool CheckPageRange(std::int32_t firstPage, std::int32_t lastPage, const PageLimits& limits,
                           std::string& reason) {
  if (firstPage < 1 || lastPage < firstPage ||
      std::int64_t{lastPage} - firstPage + 1 > limits.maxPages) {
    reason = "bad page range";
    return false;
  }
  return true;
}

// The checks both libraries make before touching a page: an output and a
// work folder are named, and the page range is sound and within the limits.
inline bool CheckPageRequest(const std::string& output, const std::string& workFolder,
                             std::int32_t firstPage, std::int32_t lastPage,
                             const PageLimits& limits, std::string& reason) {
  if (output.empty() || workFolder.empty()) {
    reason = "no output or work folder";
    return false;
  }
  return CheckPageRange(firstPage, lastPage, limits, reason);
}

}  // namespace dumel
