// libtiff handles for untrusted page files and for output files: no memory
// mapping (a file cut while mapped would end the process), no messages on
// the standard streams, and every single allocation bounded.
#pragma once

#include <tiffio.h>

#include <memory>
#include <string>

namespace dumel {

struct TiffCloser {
  void operator()(TIFF* tiff) const {
    if (tiff) TIFFClose(tiff);
  }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// The first directory of a regular file; null when it is no TIFF file.
// libtiff reads on past much damage and only reports it: every error it
// reports counts up |*errors| (when given), which must outlive the handle.
TiffHandle OpenTiffForReading(const std::string& path, tmsize_t maxSingleAlloc, int* errors = nullptr);
// Takes |fd| (closed with the handle, or at once when that fails).
TiffHandle OpenTiffForWriting(int fd, const std::string& name, bool bigTiff);

}  // namespace dumel
