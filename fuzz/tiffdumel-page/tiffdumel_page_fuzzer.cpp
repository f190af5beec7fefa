// Page files come from the device and are untrusted. One input is one page
// file between two sound pages of a black-and-white document. Whatever it
// holds, the conversion either writes a TIFF file that libtiff reads back
// with three directories, or fails and leaves nothing behind: neither a
// target nor a temporary file.
#include <stdlib.h>
#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "fuzz_files.h"
#include "tiff_merge.h"

namespace {

namespace fs = std::filesystem;

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

int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

const std::string& Folder() { return fuzz::ScratchFolder("tiffdumel"); }

int CountDirectories(const std::string& path) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
  TIFF* tiff = TIFFOpenExt(path.c_str(), "r", options);
  TIFFOpenOptionsFree(options);
  if (!tiff) return 0;
  int n = 0;
  do ++n;
  while (TIFFReadDirectory(tiff));
  TIFFClose(tiff);
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string pages[3] = {Folder() + "/00000001_1.tif", Folder() + "/00000001_2.tif",
                                Folder() + "/00000001_3.tif"};
  const std::string out = Folder() + "/out.tif";
  fuzz::WriteFile(pages[0], kSoundPage, sizeof kSoundPage);
  fuzz::WriteFile(pages[1], data, size);
  fuzz::WriteFile(pages[2], kSoundPage, sizeof kSoundPage);
  dumel::PageLimits limits;
  limits.maxFileBytes = 1u << 20;
  limits.maxPixels = 1u << 22;
  limits.maxSide = 1u << 14;
  limits.maxSingleAlloc = 32 << 20;
  dumel::TiffRequest request;
  request.output = out;
  request.workFolder = Folder();
  request.documentId = 1;
  request.firstPage = 1;
  request.lastPage = 3;
  std::string reason;
  if (dumel::EncodeMultiTiff(request, limits, reason)) {
    if (CountDirectories(out) != 3) __builtin_trap();
    fs::remove(out);
  }
  for (const auto& entry : fs::directory_iterator(Folder())) {
    const std::string path = entry.path().string();
    if (path != pages[0] && path != pages[1] && path != pages[2]) __builtin_trap();
  }
  return 0;
}
