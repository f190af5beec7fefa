// Page files come from the device and are untrusted. One input is one page
// file between two sound pages of a black-and-white document. Whatever it
// holds, the conversion either writes a TIFF file that libtiff reads back
// with three directories, or fails.
#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_files.h"
#include "tiff_files.h"
#include "tiff_merge.h"

namespace {

// An 8 x 8 uncompressed black-and-white page.
const unsigned char kSoundPage[] = {
    'I', 'I', 42, 0, 8, 0, 0, 0, 8, 0,
    0x00, 0x01, 3, 0, 1, 0, 0, 0, 8, 0, 0, 0,    // ImageWidth
    0x01, 0x01, 3, 0, 1, 0, 0, 0, 8, 0, 0, 0,    // ImageLength
    0x02, 0x01, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0,    // BitsPerSample
    0x03, 0x01, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0,    // Compression: none
    0x06, 0x01, 3, 0, 1, 0, 0, 0, 0, 0, 0, 0,    // Photometric: min-is-white
    0x11, 0x01, 4, 0, 1, 0, 0, 0, 110, 0, 0, 0,  // StripOffsets
    0x16, 0x01, 3, 0, 1, 0, 0, 0, 8, 0, 0, 0,    // RowsPerStrip
    0x17, 0x01, 4, 0, 1, 0, 0, 0, 8, 0, 0, 0,    // StripByteCounts
    0, 0, 0, 0,
    0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
static_assert(sizeof kSoundPage == 118);

int CountDirectories(dumel::MemoryTiff& file) {
  file.position = 0;
  dumel::TiffHandle tiff = dumel::OpenMemoryTiff(file, "rm");
  if (!tiff) return 0;
  int n = 0;
  do ++n;
  while (TIFFReadDirectory(tiff.get()));
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  dumel::PageLimits limits;
  limits.maxFileBytes = 1u << 20;
  limits.maxPixels = 1u << 22;
  limits.maxSide = 1u << 14;
  limits.maxSingleAlloc = 4 << 20;
  const std::string_view sound(reinterpret_cast<const char*>(kSoundPage), sizeof kSoundPage);
  fuzz::MemoryPages pages({sound, std::string_view(reinterpret_cast<const char*>(data), size), sound});
  dumel::TiffRequest request;
  request.documentId = 1;
  request.firstPage = 1;
  request.lastPage = 3;
  dumel::MemoryTiff file;
  file.limit = std::uint64_t{64} << 20;
  bool written = false;
  {
    dumel::TiffHandle out = dumel::OpenMemoryTiff(file, "w");
    if (!out) __builtin_trap();
    std::string reason;
    written = dumel::WriteMultiTiff(request, pages, out.get(), limits, reason);
  }
  if (written && CountDirectories(file) != 3) __builtin_trap();
  return 0;
}
