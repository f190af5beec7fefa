#include "page_maker.h"

#include <jpeglib.h>
#include <sys/wait.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tallow::test {

namespace {

std::uint32_t Hash(std::uint32_t seed, std::uint32_t x, std::uint32_t y) {
  std::uint32_t h = seed * 0x9E3779B1u ^ x * 0x85EBCA77u ^ y * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return h;
}

struct JpegError {
  jpeg_error_mgr manager;
};

[[noreturn]] void JpegFail(j_common_ptr) { throw std::runtime_error("libjpeg failed"); }

}  // namespace

bool InkAt(const TiffPage& page, int x, int y) {
  // Lines of glyphs drawn from strokes, with spaces between words, on a
  // white page with a margin: about what a scanned text page holds.
  const int scale = page.glyphScale > 0 ? page.glyphScale : 1;
  x /= scale;
  y /= scale;
  const int width = page.width / scale;
  const int height = page.height / scale;
  const int margin = width / 16;
  if (x < margin || x >= width - margin || y < margin || y >= height - margin) return false;
  const int lineHeight = 12 + static_cast<int>(page.seed % 5);
  const int textHeight = lineHeight * 2 / 3;
  const int line = (y - margin) / lineHeight;
  const int row = (y - margin) % lineHeight;
  if (row >= textHeight) return false;
  const int cell = (x - margin) / 6;
  const int column = (x - margin) % 6;
  if (column >= 5) return false;
  const std::uint32_t h = Hash(page.seed, static_cast<std::uint32_t>(cell), static_cast<std::uint32_t>(line));
  if (h % 6 == 0) return false;  // a space
  const std::uint32_t strokes = h >> 3;
  return ((strokes & 1) && column < 2) || ((strokes & 2) && column >= 3) || ((strokes & 4) && row < 2) ||
         ((strokes & 8) && row >= textHeight / 2 - 1 && row <= textHeight / 2) ||
         ((strokes & 16) && row >= textHeight - 2);
}

std::uint8_t GrayAt(std::uint32_t seed, int x, int y) {
  return static_cast<std::uint8_t>((x * 3 + y * 5 + static_cast<int>(seed) * 17) & 0xFF);
}

void RgbAt(std::uint32_t seed, int x, int y, std::uint8_t rgb[3]) {
  rgb[0] = static_cast<std::uint8_t>((x * 4 + static_cast<int>(seed)) & 0xFF);
  rgb[1] = static_cast<std::uint8_t>((y * 4) & 0xFF);
  rgb[2] = static_cast<std::uint8_t>(((x + y) * 2) & 0xFF);
}

std::string MakeJpeg(const JpegPage& page) {
  jpeg_compress_struct cinfo;
  JpegError error;
  cinfo.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JpegFail;
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(page.width);
  cinfo.image_height = static_cast<JDIMENSION>(page.height);
  cinfo.input_components = page.components;
  cinfo.in_color_space = page.components == 1 ? JCS_GRAYSCALE : page.components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, page.quality, TRUE);
  if (page.progressive) jpeg_simple_progression(&cinfo);
  if (page.arithmetic) cinfo.arith_code = TRUE;
  if (page.dpi > 0) {
    cinfo.density_unit = 1;
    cinfo.X_density = static_cast<UINT16>(page.dpi);
    cinfo.Y_density = static_cast<UINT16>(page.dpi);
  } else {
    cinfo.density_unit = 0;
    cinfo.X_density = 1;
    cinfo.Y_density = 1;
  }
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<std::size_t>(page.width) * page.components);
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) {
      unsigned char* p = &row[static_cast<std::size_t>(x) * page.components];
      if (page.components == 1) {
        p[0] = GrayAt(page.seed, x, y);
      } else if (page.components == 3) {
        RgbAt(page.seed, x, y, p);
      } else {
        for (int c = 0; c < 4; ++c) {
          p[c] = page.cmykValue >= 0 ? static_cast<unsigned char>(page.cmykValue)
                                     : static_cast<unsigned char>((x * (c + 1) + y) & 0xFF);
        }
      }
      if (page.noise > 0) {
        for (int c = 0; c < page.components; ++c) {
          const int n = static_cast<int>(Hash(page.seed, static_cast<std::uint32_t>(x * 4 + c),
                                              static_cast<std::uint32_t>(y)) %
                                         (2 * page.noise + 1)) - page.noise;
          const int v = p[c] + n;
          p[c] = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
        }
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return bytes;
}

void WriteTiff(const std::string& path, const TiffPage& page) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (!tiff) throw std::runtime_error("cannot create " + path);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(page.width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(page.height));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(page.bitsPerSample));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(page.samplesPerPixel));
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression);
  TIFFSetField(tiff, TIFFTAG_FILLORDER, page.fillOrder);
  if (page.compression == COMPRESSION_CCITTFAX3) TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, page.group3Options);
  if (page.compression == COMPRESSION_JPEG && page.photometric == PHOTOMETRIC_YCBCR) {
    TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  }
  if (page.dpi > 0) {
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, page.dpi);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, page.dpi);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  }
  std::uint16_t* colormap[3] = {nullptr, nullptr, nullptr};
  std::vector<std::uint16_t> map;
  if (page.photometric == PHOTOMETRIC_PALETTE) {
    const int entries = 1 << page.bitsPerSample;
    map.resize(static_cast<std::size_t>(entries) * 3);
    for (int i = 0; i < entries; ++i) {
      std::uint8_t rgb[3];
      RgbAt(page.seed, i, i, rgb);
      for (int c = 0; c < 3; ++c) map[static_cast<std::size_t>(c * entries + i)] = static_cast<std::uint16_t>(rgb[c] * 257);
    }
    for (int c = 0; c < 3; ++c) colormap[c] = &map[static_cast<std::size_t>(c * entries)];
    TIFFSetField(tiff, TIFFTAG_COLORMAP, colormap[0], colormap[1], colormap[2]);
  }
  const int spp = page.samplesPerPixel;
  auto sampleAt = [&](int x, int y, int c) -> unsigned {
    if (page.bitsPerSample == 1) {
      const bool ink = InkAt(page, x, y);
      // Min-is-white: 1 is black; min-is-black: 1 is white.
      return page.photometric == PHOTOMETRIC_MINISBLACK ? (ink ? 0 : 1) : (ink ? 1 : 0);
    }
    if (page.photometric == PHOTOMETRIC_PALETTE) return GrayAt(page.seed, x, y) >> (8 - page.bitsPerSample);
    if (spp == 1) {
      const std::uint8_t g = GrayAt(page.seed, x, y);
      return page.photometric == PHOTOMETRIC_MINISWHITE ? 255u - g : g;
    }
    std::uint8_t rgb[3];
    RgbAt(page.seed, x, y, rgb);
    return rgb[c];
  };
  auto packRows = [&](int y0, int rows, int x0, int columns, std::vector<std::uint8_t>& out) {
    const std::size_t rowBytes = (static_cast<std::size_t>(columns) * spp * page.bitsPerSample + 7) / 8;
    out.assign(rowBytes * rows, 0);
    for (int r = 0; r < rows; ++r) {
      for (int x = 0; x < columns; ++x) {
        for (int c = 0; c < spp; ++c) {
          const int y = y0 + r, xx = x0 + x;
          const unsigned v = (y < page.height && xx < page.width) ? sampleAt(xx, y, c) : 0;
          const std::size_t bit = (static_cast<std::size_t>(x) * spp + c) * page.bitsPerSample;
          if (page.bitsPerSample == 8) {
            out[r * rowBytes + bit / 8] = static_cast<std::uint8_t>(v);
          } else {
            out[r * rowBytes + bit / 8] |= static_cast<std::uint8_t>(v << (8 - page.bitsPerSample - bit % 8));
          }
        }
      }
    }
  };
  std::vector<std::uint8_t> data;
  bool ok = true;
  if (page.tileSize > 0) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, page.tileSize);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, page.tileSize);
    const int t = static_cast<int>(page.tileSize);
    for (int y = 0; y < page.height && ok; y += t) {
      for (int x = 0; x < page.width && ok; x += t) {
        packRows(y, t, x, t, data);
        ok = TIFFWriteTile(tiff, data.data(), static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 0, 0) >= 0;
      }
    }
  } else {
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
                 page.rowsPerStrip ? page.rowsPerStrip : static_cast<std::uint32_t>(page.height));
    for (int y = 0; y < page.height && ok; ++y) {
      packRows(y, 1, 0, page.width, data);
      ok = TIFFWriteScanline(tiff, data.data(), static_cast<std::uint32_t>(y), 0) >= 0;
    }
  }
  TIFFClose(tiff);
  if (!ok) throw std::runtime_error("cannot write " + path);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TiffStrips ReadTiffStrips(const std::string& path, int directory) {
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) throw std::runtime_error("cannot open " + path);
  TiffStrips out;
  if (!TIFFSetDirectory(tiff, static_cast<tdir_t>(directory))) {
    TIFFClose(tiff);
    throw std::runtime_error("no such directory in " + path);
  }
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &out.compression);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &out.photometric);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_FILLORDER, &out.fillOrder);
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &out.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &out.height);
  TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &out.xResolution);
  TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &out.yResolution);
  const bool tiled = TIFFIsTiled(tiff);
  const std::uint32_t count = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto size = static_cast<tmsize_t>(TIFFGetStrileByteCount(tiff, i));
    std::string strip(static_cast<std::size_t>(size), '\0');
    const tmsize_t got = tiled ? TIFFReadRawTile(tiff, i, strip.data(), size)
                               : TIFFReadRawStrip(tiff, i, strip.data(), size);
    if (got != size) {
      TIFFClose(tiff);
      throw std::runtime_error("cannot read a strip of " + path);
    }
    out.strips.push_back(std::move(strip));
  }
  TIFFClose(tiff);
  return out;
}

int CountTiffDirectories(const std::string& path) {
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) return -1;
  int n = 0;
  do ++n;
  while (TIFFReadDirectory(tiff));
  TIFFClose(tiff);
  return n;
}

PnmImage ReadPnm(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  std::istringstream in(bytes);
  std::string magic;
  int maxValue = 0;
  PnmImage image;
  in >> magic >> image.width >> image.height >> maxValue;
  in.get();
  image.channels = magic == "P6" ? 3 : magic == "P5" ? 1 : 0;
  if (image.channels == 0 || maxValue != 255 || image.width <= 0 || image.height <= 0) {
    throw std::runtime_error("not a PGM or PPM file: " + path);
  }
  const std::size_t size = static_cast<std::size_t>(image.width) * image.height * image.channels;
  image.samples.resize(size);
  in.read(reinterpret_cast<char*>(image.samples.data()), static_cast<std::streamsize>(size));
  if (static_cast<std::size_t>(in.gcount()) != size) throw std::runtime_error("cut PNM: " + path);
  return image;
}

std::string RunCommand(const std::string& command, int* status) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int raw = ::pclose(pipe);
  if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

}  // namespace tallow::test
