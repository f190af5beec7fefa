#include "tiff_page.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "codec_files.h"
#include "tiff_files.h"

namespace dumel {

namespace {

[[noreturn]] void Fail(const char* what) { throw std::runtime_error(what); }

double DotsPerInch(float value, std::uint16_t unit) {
  if (!std::isfinite(value) || value <= 0) return 0;
  if (unit == RESUNIT_INCH) return value;
  if (unit == RESUNIT_CENTIMETER) return value * 2.54;
  return 0;  // no absolute unit: the file does not say
}

bool CodecAvailable(std::uint16_t compression) {
  return compression == COMPRESSION_NONE || TIFFIsCODECConfigured(compression) != 0;
}

// Calls |rows| with the decoded rows of a stripped page, strip by strip.
void ForEachStripOfRows(TIFF* tiff, const TiffPagePlan& plan, const PageLimits& limits,
                        std::uint64_t rowBytes,
                        const std::function<void(const std::uint8_t*, std::uint32_t)>& rows) {
  std::uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > plan.height) rowsPerStrip = plan.height;
  const std::uint64_t stripSize = static_cast<std::uint64_t>(TIFFStripSize64(tiff));
  if (stripSize == 0 || stripSize > static_cast<std::uint64_t>(limits.maxSingleAlloc) ||
      stripSize < rowBytes * rowsPerStrip) {
    Fail("strip size out of bounds");
  }
  const std::uint32_t strips = TIFFNumberOfStrips(tiff);
  const std::uint64_t needed = (std::uint64_t{plan.height} + rowsPerStrip - 1) / rowsPerStrip;
  if (strips < needed) Fail("fewer strips than rows");
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(stripSize));
  std::uint32_t row = 0;
  for (std::uint32_t strip = 0; row < plan.height; ++strip) {
    const std::uint32_t count =
        plan.height - row < rowsPerStrip ? plan.height - row : rowsPerStrip;
    const tmsize_t got =
        TIFFReadEncodedStrip(tiff, strip, buffer.data(), static_cast<tmsize_t>(buffer.size()));
    if (got < 0 || static_cast<std::uint64_t>(got) < rowBytes * count) Fail("strip does not decode");
    rows(buffer.data(), count);
    row += count;
  }
}

void WriteStripAsIs(const PageReader& page, const TiffPagePlan& plan, std::vector<std::uint8_t>& scratch,
                    const ByteSink& sink) {
  constexpr std::size_t kChunk = 1 << 20;
  const std::size_t chunk = plan.stripBytes < kChunk ? static_cast<std::size_t>(plan.stripBytes) : kChunk;
  if (scratch.size() < chunk) scratch.resize(chunk);
  std::uint64_t done = 0;
  while (done < plan.stripBytes) {
    const std::uint64_t left = plan.stripBytes - done;
    const std::size_t n = left < chunk ? static_cast<std::size_t>(left) : chunk;
    if (!page.ReadAt(plan.stripOffset + done, scratch.data(), n)) Fail("page file cut short");
    if (plan.reverseBits) ReverseBits(scratch.data(), n);
    sink(scratch.data(), n);
    done += n;
  }
}

void WriteAsGroup4(TIFF* source, const TiffPagePlan& plan, const PageLimits& limits,
                   const ByteSink& sink) {
  const std::uint64_t rowBytes = (std::uint64_t{plan.width} + 7) / 8;
  if (static_cast<std::uint64_t>(TIFFScanlineSize64(source)) != rowBytes) Fail("odd scanline size");
  MemoryTiff memory;
  // Group 4 can exceed the raw bitmap on noise; twice that and a margin is
  // more than any page needs.
  memory.limit = rowBytes * plan.height * 2 + 65536;
  {
    TiffHandle encoder = OpenMemoryTiff(memory, "w");
    if (!encoder) Fail("no encoder");
    TIFF* out = encoder.get();
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, plan.width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, plan.height);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC,
                 plan.blackIs1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, plan.height);
    std::uint32_t row = 0;
    ForEachStripOfRows(source, plan, limits, rowBytes,
                       [&](const std::uint8_t* data, std::uint32_t count) {
                         for (std::uint32_t i = 0; i < count; ++i, ++row) {
                           // The encoder does not change the row it is given.
                           auto* line = const_cast<std::uint8_t*>(data + i * rowBytes);
                           if (TIFFWriteScanline(out, line, row, 0) < 0) Fail("cannot encode");
                         }
                       });
    if (!TIFFFlush(out)) Fail("cannot encode");
  }
  memory.position = 0;
  TiffHandle encoded = OpenMemoryTiff(memory, "rm");
  if (!encoded || TIFFNumberOfStrips(encoded.get()) != 1) Fail("cannot encode");
  int error = 0;
  const std::uint64_t offset = TIFFGetStrileOffsetWithErr(encoded.get(), 0, &error);
  const std::uint64_t bytes = TIFFGetStrileByteCountWithErr(encoded.get(), 0, &error);
  if (error || bytes == 0 || offset > memory.data.size() || bytes > memory.data.size() - offset) {
    Fail("cannot encode");
  }
  sink(memory.data.data() + offset, static_cast<std::size_t>(bytes));
}

void WriteSamples(TIFF* source, const TiffPagePlan& plan, const PageLimits& limits,
                  const ByteSink& sink) {
  const std::uint64_t rowBytes = std::uint64_t{plan.width} * plan.components;
  if (static_cast<std::uint64_t>(TIFFScanlineSize64(source)) != rowBytes) Fail("odd scanline size");
  ForEachStripOfRows(source, plan, limits, rowBytes,
                     [&](const std::uint8_t* data, std::uint32_t count) {
                       sink(data, static_cast<std::size_t>(rowBytes * count));
                     });
}

void WriteRgb(TIFF* source, const TiffPagePlan& plan, const PageLimits& limits,
              const ByteSink& sink) {
  char message[1024] = {};
  TIFFRGBAImage image;
  if (!TIFFRGBAImageOK(source, message) || !TIFFRGBAImageBegin(&image, source, 1, message)) {
    Fail("page cannot be read as RGB");
  }
  struct End {
    TIFFRGBAImage* image;
    ~End() { TIFFRGBAImageEnd(image); }
  } end{&image};
  image.req_orientation = ORIENTATION_TOPLEFT;
  if (image.width != plan.width || image.height != plan.height) Fail("page size changed");
  // Bands of whole strips or tiles, so that none is decoded twice.
  std::uint32_t band = 0;
  if (TIFFIsTiled(source)) TIFFGetField(source, TIFFTAG_TILELENGTH, &band);
  else TIFFGetFieldDefaulted(source, TIFFTAG_ROWSPERSTRIP, &band);
  if (band == 0 || band > plan.height) band = plan.height;
  const std::uint64_t rowPixels = plan.width;
  const std::uint64_t maxRows = static_cast<std::uint64_t>(limits.maxSingleAlloc) / (rowPixels * 4);
  if (maxRows == 0) Fail("rows too wide");
  if (band > maxRows) band = static_cast<std::uint32_t>(maxRows);
  std::vector<std::uint32_t> raster(static_cast<std::size_t>(rowPixels * band));
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(rowPixels * band * 3));
  for (std::uint32_t row = 0; row < plan.height; row += band) {
    const std::uint32_t count = plan.height - row < band ? plan.height - row : band;
    image.row_offset = static_cast<int>(row);
    image.col_offset = 0;
    if (!TIFFRGBAImageGet(&image, raster.data(), plan.width, count)) Fail("page does not decode");
    const std::size_t pixels = static_cast<std::size_t>(rowPixels * count);
    for (std::size_t i = 0; i < pixels; ++i) {
      rgb[3 * i] = static_cast<std::uint8_t>(TIFFGetR(raster[i]));
      rgb[3 * i + 1] = static_cast<std::uint8_t>(TIFFGetG(raster[i]));
      rgb[3 * i + 2] = static_cast<std::uint8_t>(TIFFGetB(raster[i]));
    }
    sink(rgb.data(), pixels * 3);
  }
}

}  // namespace

bool PlanTiffPage(const PageReader& page, const PageLimits& limits, TiffInput& input, TiffPagePlan& plan,
                  std::string& reason) {
  plan = TiffPagePlan();
  if (page.Size() > limits.maxFileBytes) {
    reason = "page file too large";
    return false;
  }
  input.errors = 0;
  input.handle = OpenTiffForReading(page, static_cast<tmsize_t>(limits.maxSingleAlloc), &input.errors);
  if (!input.handle || input.errors) {
    reason = "not a TIFF file, or a damaged one";
    return false;
  }
  TIFF* tiff = input.handle.get();
  std::uint32_t width = 0, height = 0;
  if (!ReadTiffPageSize(tiff, limits, width, height, reason)) return false;
  plan.width = width;
  plan.height = height;

  std::uint16_t bits = 1, samples = 1, compression = COMPRESSION_NONE, fill = FILLORDER_MSB2LSB;
  std::uint16_t planar = PLANARCONFIG_CONTIG, unit = RESUNIT_INCH, photometric = 0xFFFF;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_FILLORDER, &fill);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  float xResolution = 0, yResolution = 0;
  if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xResolution)) plan.xDpi = DotsPerInch(xResolution, unit);
  if (TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yResolution)) plan.yDpi = DotsPerInch(yResolution, unit);
  const bool tiled = TIFFIsTiled(tiff) != 0;

  // A fax page without a photometric tag is min-is-white, as fax readers take it.
  const bool bilevel = bits == 1 && samples == 1 &&
                       (photometric == PHOTOMETRIC_MINISWHITE ||
                        photometric == PHOTOMETRIC_MINISBLACK || photometric == 0xFFFF);
  if (bilevel && !tiled) {
    plan.blackIs1 = photometric == PHOTOMETRIC_MINISBLACK;
    std::uint32_t t4 = 0, t6 = 0;
    TIFFGetField(tiff, TIFFTAG_GROUP3OPTIONS, &t4);
    TIFFGetField(tiff, TIFFTAG_GROUP4OPTIONS, &t6);
    // Fill bits before end-of-line codes and uncompressed mode are left to
    // the encoder below: a PDF reader's decoder need not know them.
    const bool embeddable = (compression == COMPRESSION_CCITTFAX4 && t6 == 0) ||
                            (compression == COMPRESSION_CCITTFAX3 && (t4 & ~GROUP3OPT_2DENCODING) == 0);
    if (embeddable && TIFFNumberOfStrips(tiff) == 1) {
      int error = 0;
      plan.stripOffset = TIFFGetStrileOffsetWithErr(tiff, 0, &error);
      plan.stripBytes = TIFFGetStrileByteCountWithErr(tiff, 0, &error);
      if (error || plan.stripBytes == 0 || plan.stripOffset > page.Size() ||
          plan.stripBytes > page.Size() - plan.stripOffset) {
        reason = "strip outside the file";
        return false;
      }
      plan.kind = TiffPageKind::kCcittAsIs;
      plan.k = compression == COMPRESSION_CCITTFAX4 ? -1 : ((t4 & GROUP3OPT_2DENCODING) ? 1 : 0);
      plan.reverseBits = fill == FILLORDER_LSB2MSB;
      return true;
    }
    if (!CodecAvailable(compression)) {
      reason = "unknown compression";
      return false;
    }
    plan.kind = TiffPageKind::kCcittAgain;
    return true;
  }
  if (!tiled && bits == 8 && planar == PLANARCONFIG_CONTIG && CodecAvailable(compression) &&
      compression != COMPRESSION_OJPEG &&
      ((samples == 1 && (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK)) ||
       (samples == 3 && photometric == PHOTOMETRIC_RGB))) {
    plan.kind = TiffPageKind::kSamples;
    plan.components = samples;
    plan.invertGray = samples == 1 && photometric == PHOTOMETRIC_MINISWHITE;
    return true;
  }
  char message[1024] = {};
  if (!TIFFRGBAImageOK(tiff, message)) {
    reason = "image kind cannot be read";
    return false;
  }
  plan.kind = TiffPageKind::kRgb;
  plan.components = 3;
  return true;
}

void WriteTiffPageData(const PageReader& page, TiffInput& input, const TiffPagePlan& plan,
                       const PageLimits& limits, std::vector<std::uint8_t>& scratch, const ByteSink& sink) {
  switch (plan.kind) {
    case TiffPageKind::kCcittAsIs: WriteStripAsIs(page, plan, scratch, sink); return;
    case TiffPageKind::kCcittAgain: WriteAsGroup4(input.handle.get(), plan, limits, sink); break;
    case TiffPageKind::kSamples: WriteSamples(input.handle.get(), plan, limits, sink); break;
    default: WriteRgb(input.handle.get(), plan, limits, sink); break;
  }
  // The decoders fill damaged rows and go on; a damaged page is no page.
  if (input.errors) Fail("page data damaged");
}

}  // namespace dumel
