// Page files as the device delivers them, made for tests and benchmarks:
// JPEG pages of colour documents and TIFF pages of black-and-white ones,
// with deterministic content so that a rendering can be checked against it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tallow::test {

struct JpegPage {
  int width = 64;
  int height = 48;
  int components = 3;  // 1 grey, 3 YCbCr from RGB, 4 CMYK (with libjpeg's Adobe marker)
  int quality = 90;
  // JFIF density in dots per inch; 0 writes no absolute density.
  int dpi = 300;
  // Random noise on top of the pattern makes larger files.
  int noise = 0;
  std::uint32_t seed = 1;
  // For 4 components: every sample this value (as stored in the file).
  int cmykValue = -1;
  bool progressive = false;
  bool arithmetic = false;
};

// The file's bytes.
std::string MakeJpeg(const JpegPage& page);

struct TiffPage {
  int width = 64;
  int height = 48;
  std::uint16_t compression = 4;  // COMPRESSION_CCITTFAX4
  std::uint16_t photometric = 0;  // PHOTOMETRIC_MINISWHITE
  std::uint16_t fillOrder = 1;
  int bitsPerSample = 1;
  int samplesPerPixel = 1;
  std::uint32_t rowsPerStrip = 0;  // 0: the whole page in one strip
  std::uint32_t tileSize = 0;      // nonzero: tiles of that size instead of strips
  std::uint32_t group3Options = 0;
  float dpi = 300;  // 0: no resolution tags
  std::uint32_t seed = 1;
  // Pixels per stroke width of the drawn text: 1 is tiny print, 4 about
  // ten-point text at 300 dpi.
  int glyphScale = 1;
};

// Writes the page to |path|; throws std::runtime_error on failure.
void WriteTiff(const std::string& path, const TiffPage& page);

// The page's content: whether pixel (x, y) is ink (black) for black-and-
// white pages; the grey or RGB value for the others.
bool InkAt(const TiffPage& page, int x, int y);
std::uint8_t GrayAt(std::uint32_t seed, int x, int y);
void RgbAt(std::uint32_t seed, int x, int y, std::uint8_t rgb[3]);

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// The raw (still compressed) bytes of every strip or tile of a TIFF file's
// first directory, in order, with the tags that say how to read them.
struct TiffStrips {
  std::uint16_t compression = 0;
  std::uint16_t photometric = 0;
  std::uint16_t fillOrder = 1;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  float xResolution = 0;
  float yResolution = 0;
  std::vector<std::string> strips;
};
TiffStrips ReadTiffStrips(const std::string& path, int directory = 0);
int CountTiffDirectories(const std::string& path);

// A PGM (grey) or PPM (RGB) image as pdftoppm writes it.
struct PnmImage {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<std::uint8_t> samples;
  std::uint8_t At(int x, int y, int c = 0) const {
    return samples[(static_cast<std::size_t>(y) * width + x) * channels + c];
  }
};
PnmImage ReadPnm(const std::string& path);

// Runs a shell command; its standard output, and its exit status in |status|.
std::string RunCommand(const std::string& command, int* status);

}  // namespace tallow::test
