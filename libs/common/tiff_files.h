// libtiff handles for untrusted page files and for output files: no file
// mapped (a file cut while mapped would end the process; pages already in
// memory are read in place), no messages on the standard streams, and every
// single allocation bounded.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec_files.h"

namespace dumel {

struct PageLimits;

struct TiffCloser {
  void operator()(TIFF* tiff) const {
    if (tiff) TIFFClose(tiff);
  }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// The first directory of a page; null when it is no TIFF file. The reader
// must outlive the handle. libtiff reads on past much damage and only
// reports it: every error it reports counts up |*errors| (when given), which
// must outlive the handle too.
TiffHandle OpenTiffForReading(const PageReader& page, tmsize_t maxSingleAlloc, int* errors = nullptr);
// Takes |fd| (closed with the handle, or at once when that fails).
TiffHandle OpenTiffForWriting(int fd, const std::string& name, bool bigTiff);

// The size of the page in |tiff|'s current directory. False, with a reason,
// when it gives none, or when a side or the pixel count passes |limits|.
bool ReadTiffPageSize(TIFF* tiff, const PageLimits& limits, std::uint32_t& width,
                      std::uint32_t& height, std::string& reason);

// A TIFF file in memory, growing up to |limit| bytes.
struct MemoryTiff {
  std::vector<std::uint8_t> data;
  std::uint64_t position = 0;
  std::uint64_t limit = 0;
};
// |mode| as for TIFFOpen; the file must outlive the handle.
TiffHandle OpenMemoryTiff(MemoryTiff& file, const char* mode, bool bigTiff = false);

}  // namespace dumel
