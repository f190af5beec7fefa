#include "tiff_merge.h"

#include <sys/stat.h>

#include <exception>
#include <vector>

#include "codec_files.h"
#include "contracts/codec_api.h"
#include "tiff_files.h"

namespace dumel {

namespace {

// Past this the classic format's 32-bit offsets may not reach: BigTIFF.
constexpr std::uint64_t kClassicTiffBytes = std::uint64_t{3} << 30;

// Compressions whose data libtiff can carry without decoding them. The old
// JPEG form is left out: libtiff cannot write its tags.
bool CanCopy(std::uint16_t compression) {
  switch (compression) {
    case COMPRESSION_NONE:
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
    case COMPRESSION_LZW:
    case COMPRESSION_JPEG:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
    case COMPRESSION_PACKBITS:
    case COMPRESSION_CCITTRLEW:
      return true;
    default:
      return false;
  }
}

bool UsesPredictor(std::uint16_t compression) {
  return compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE ||
         compression == COMPRESSION_DEFLATE;
}

template <typename T>
void CopyField(TIFF* in, TIFF* out, ttag_t tag) {
  T value{};
  if (TIFFGetField(in, tag, &value)) TIFFSetField(out, tag, value);
}

// The tags that say how to read the copied data, and the page's size and
// resolution. False with a reason for a page that cannot be copied.
bool CopyTags(TIFF* in, TIFF* out, const PageLimits& limits, int index, int total,
              std::string& reason) {
  std::uint32_t width = 0, height = 0;
  if (!ReadTiffPageSize(in, limits, width, height, reason)) return false;
  std::uint16_t compression = COMPRESSION_NONE, bits = 1, samples = 1;
  std::uint16_t planar = PLANARCONFIG_CONTIG, photometric = 0;
  TIFFGetFieldDefaulted(in, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(in, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(in, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(in, TIFFTAG_PLANARCONFIG, &planar);
  if (!CanCopy(compression)) {
    reason = "compression cannot be copied";
    return false;
  }
  const bool hasPhotometric = TIFFGetField(in, TIFFTAG_PHOTOMETRIC, &photometric) != 0;

  TIFFSetField(out, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(out, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(out, TIFFTAG_PLANARCONFIG, planar);
  if (!TIFFSetField(out, TIFFTAG_COMPRESSION, compression)) {
    reason = "compression cannot be copied";
    return false;
  }
  if (hasPhotometric) TIFFSetField(out, TIFFTAG_PHOTOMETRIC, photometric);
  CopyField<std::uint16_t>(in, out, TIFFTAG_FILLORDER);
  CopyField<std::uint16_t>(in, out, TIFFTAG_ORIENTATION);
  CopyField<float>(in, out, TIFFTAG_XRESOLUTION);
  CopyField<float>(in, out, TIFFTAG_YRESOLUTION);
  CopyField<std::uint16_t>(in, out, TIFFTAG_RESOLUTIONUNIT);
  CopyField<std::uint16_t>(in, out, TIFFTAG_SAMPLEFORMAT);
  if (compression == COMPRESSION_CCITTFAX3) CopyField<std::uint32_t>(in, out, TIFFTAG_GROUP3OPTIONS);
  if (compression == COMPRESSION_CCITTFAX4) CopyField<std::uint32_t>(in, out, TIFFTAG_GROUP4OPTIONS);
  if (UsesPredictor(compression)) CopyField<std::uint16_t>(in, out, TIFFTAG_PREDICTOR);
  if (compression == COMPRESSION_JPEG) {
    std::uint32_t count = 0;
    void* tables = nullptr;
    if (TIFFGetField(in, TIFFTAG_JPEGTABLES, &count, &tables) && count > 0 && tables) {
      TIFFSetField(out, TIFFTAG_JPEGTABLES, count, tables);
    }
  }
  if (hasPhotometric && photometric == PHOTOMETRIC_YCBCR) {
    std::uint16_t horizontal = 0, vertical = 0;
    if (TIFFGetField(in, TIFFTAG_YCBCRSUBSAMPLING, &horizontal, &vertical)) {
      TIFFSetField(out, TIFFTAG_YCBCRSUBSAMPLING, horizontal, vertical);
    }
    CopyField<std::uint16_t>(in, out, TIFFTAG_YCBCRPOSITIONING);
    float* reference = nullptr;
    if (TIFFGetField(in, TIFFTAG_REFERENCEBLACKWHITE, &reference) && reference) {
      TIFFSetField(out, TIFFTAG_REFERENCEBLACKWHITE, reference);
    }
  }
  if (hasPhotometric && photometric == PHOTOMETRIC_PALETTE) {
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (TIFFGetField(in, TIFFTAG_COLORMAP, &red, &green, &blue) && red && green && blue) {
      TIFFSetField(out, TIFFTAG_COLORMAP, red, green, blue);
    }
  }
  std::uint16_t extraCount = 0;
  std::uint16_t* extraTypes = nullptr;
  if (TIFFGetField(in, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) && extraTypes &&
      extraCount < samples) {
    TIFFSetField(out, TIFFTAG_EXTRASAMPLES, extraCount, extraTypes);
  }
  if (TIFFIsTiled(in)) {
    std::uint32_t tileWidth = 0, tileLength = 0;
    if (!TIFFGetField(in, TIFFTAG_TILEWIDTH, &tileWidth) ||
        !TIFFGetField(in, TIFFTAG_TILELENGTH, &tileLength) ||
        !TIFFSetField(out, TIFFTAG_TILEWIDTH, tileWidth) ||
        !TIFFSetField(out, TIFFTAG_TILELENGTH, tileLength)) {
      reason = "bad tile size";
      return false;
    }
  } else {
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(in, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  }
  if (total <= 0xFFFF) {
    TIFFSetField(out, TIFFTAG_PAGENUMBER, static_cast<std::uint16_t>(index),
                 static_cast<std::uint16_t>(total));
  }
  return true;
}

// A page this large or smaller is read into memory in one go.
constexpr std::uint64_t kWholePageBytes = std::uint64_t{16} << 20;

// One page as the next directory of |out|. |scratch| is kept from page to
// page.
bool CopyPage(const PageReader& page, TIFF* out, const PageLimits& limits, int index, int total,
              std::vector<std::uint8_t>& scratch, std::string& reason) {
  int errors = 0;
  TiffHandle handle = OpenTiffForReading(page, static_cast<tmsize_t>(limits.maxSingleAlloc), &errors);
  if (!handle || errors) {
    reason = "not a TIFF file, or a damaged one";
    return false;
  }
  TIFF* in = handle.get();
  if (!CopyTags(in, out, limits, index, total, reason)) return false;
  const bool tiled = TIFFIsTiled(in) != 0;
  const std::uint32_t count = tiled ? TIFFNumberOfTiles(in) : TIFFNumberOfStrips(in);
  const std::uint32_t expected = tiled ? TIFFNumberOfTiles(out) : TIFFNumberOfStrips(out);
  if (count == 0 || count != expected) {
    reason = "strip count does not match the image";
    return false;
  }
  const std::uint64_t fileSize = page.Size();
  for (std::uint32_t i = 0; i < count; ++i) {
    int error = 0;
    const std::uint64_t offset = TIFFGetStrileOffsetWithErr(in, i, &error);
    const std::uint64_t bytes = TIFFGetStrileByteCountWithErr(in, i, &error);
    if (error || bytes == 0 || offset > fileSize || bytes > fileSize - offset) {
      reason = "strip outside the file";
      return false;
    }
    if (bytes > static_cast<std::uint64_t>(limits.maxSingleAlloc)) {
      reason = "strip too large";
      return false;
    }
    // The strip's bytes as they lie in the page: no need to ask libtiff.
    const std::uint8_t* data = page.Bytes() ? page.Bytes() + offset : nullptr;
    if (!data) {
      if (scratch.size() < bytes) scratch.resize(static_cast<std::size_t>(bytes));
      if (!page.ReadAt(offset, scratch.data(), static_cast<std::size_t>(bytes))) {
        reason = "strip cannot be read";
        return false;
      }
      data = scratch.data();
    }
    const auto size = static_cast<tmsize_t>(bytes);
    // libtiff does not change the data it is given to write.
    void* raw = const_cast<std::uint8_t*>(data);
    const tmsize_t put = tiled ? TIFFWriteRawTile(out, i, raw, size) : TIFFWriteRawStrip(out, i, raw, size);
    if (put != size) {
      reason = "output cannot be written";
      return false;
    }
  }
  if (errors) {
    reason = "page damaged";
    return false;
  }
  if (!TIFFWriteDirectory(out)) {
    reason = "output cannot be written";
    return false;
  }
  return true;
}

}  // namespace

bool WriteMultiTiff(const TiffRequest& request, PageSource& pages, TIFF* out, const PageLimits& limits,
                    std::string& reason) {
  if (!CheckPageRange(request.firstPage, request.lastPage, limits, reason)) return false;
  try {
    // Buffers kept for the whole document: one for a page read whole, one
    // for the strips of a larger page.
    std::vector<std::uint8_t> whole, scratch;
    const int total = request.lastPage - request.firstPage + 1;
    for (int i = 0; i < total; ++i) {
      const int n = request.firstPage + i;
      const PageReader* page = pages.Open(n, reason);
      bool ok = page != nullptr;
      if (ok && page->Size() > limits.maxFileBytes) {
        reason = "page file too large";
        ok = false;
      }
      if (ok) {
        const std::uint64_t size = page->Size();
        if (size <= kWholePageBytes && !page->Bytes()) {
          if (whole.size() < size) whole.resize(static_cast<std::size_t>(size));
          ok = page->ReadAt(0, whole.data(), static_cast<std::size_t>(size));
          if (!ok) reason = "page file cannot be read";
          const MemoryReader inMemory(std::string_view(reinterpret_cast<const char*>(whole.data()),
                                                       static_cast<std::size_t>(size)));
          ok = ok && CopyPage(inMemory, out, limits, i, total, scratch, reason);
        } else {
          ok = CopyPage(*page, out, limits, i, total, scratch, reason);
        }
      }
      if (!ok) {
        reason = "page " + std::to_string(n) + ": " + reason;
        return false;
      }
    }
    return true;
  } catch (const std::exception& e) {
    reason = e.what();
    return false;
  }
}

bool EncodeMultiTiff(const TiffRequest& request, const PageLimits& limits, std::string& reason) {
  if (!CheckPageRequest(request.output, request.workFolder, request.firstPage, request.lastPage,
                        limits, reason)) {
    return false;
  }
  try {
    // Every page must be there before anything is written, and their sizes
    // decide the output's format.
    std::uint64_t totalBytes = 0;
    for (std::int64_t n = request.firstPage; n <= request.lastPage; ++n) {
      struct stat st;
      const std::string path = PageFilePath(request.workFolder, request.documentId, static_cast<int>(n), "tif");
      if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = "page " + std::to_string(n) + ": page file missing";
        return false;
      }
      if (static_cast<std::uint64_t>(st.st_size) > limits.maxFileBytes) {
        reason = "page " + std::to_string(n) + ": page file too large";
        return false;
      }
      totalBytes += static_cast<std::uint64_t>(st.st_size);
    }
    OutputFile output(request.output);
    if (!output.Create()) {
      reason = "output cannot be created";
      return false;
    }
    // Each directory adds well under a kilobyte to the copied data.
    const std::uint64_t pages = static_cast<std::uint64_t>(request.lastPage - request.firstPage + 1);
    const bool big = totalBytes + pages * 4096 > kClassicTiffBytes;
    TiffHandle out = OpenTiffForWriting(output.TakeDescriptor(), output.TemporaryPath(), big);
    if (!out) {
      reason = "output cannot be created";
      return false;
    }
    PageFiles files(request.workFolder, request.documentId, "tif");
    if (!WriteMultiTiff(request, files, out.get(), limits, reason)) return false;
    out.reset();  // closes the file
    if (!output.Commit()) {
      reason = "output cannot be written";
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    reason = e.what();
    return false;
  }
}

}  // namespace dumel

extern "C" __attribute__((visibility("default"))) int32_t MultiTiffEncode(
    char16_t* outputPath, uint32_t documentId, int32_t firstPage, int32_t lastPage,
    char16_t* workFolder) {
  // Nothing may leave the library as an exception.
  try {
    dumel::TiffRequest request;
    request.output = dumel::Utf8Path(outputPath);
    request.workFolder = dumel::Utf8Path(workFolder);
    request.documentId = documentId;
    request.firstPage = firstPage;
    request.lastPage = lastPage;
    std::string reason;
    return dumel::EncodeMultiTiff(request, dumel::PageLimits(), reason) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
