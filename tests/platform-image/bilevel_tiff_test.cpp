// Group 4 pages decoded straight into the picture they are shown as, and
// the area averaging both kinds of page go through.
#include "platform/bilevel_tiff.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "page_maker.h"
#include "platform/area_average.h"
#include "support/temp_dir.h"

namespace tallow {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Ink = std::function<bool(int x, int y)>;

struct G4Page {
  int width = 64;
  int height = 48;
  std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  std::uint16_t fillOrder = FILLORDER_MSB2LSB;
  std::uint32_t rowsPerStrip = 0;  // 0: one strip
  std::uint16_t compression = COMPRESSION_CCITTFAX4;
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
};

// The page written by libtiff, with |ink| as its content.
Bytes WriteG4(const G4Page& page, const Ink& ink) {
  test::TempDir dir;
  const std::string path = dir.File("page.tif");
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (!tiff) throw std::runtime_error("no TIFF");
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(page.width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(page.height));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression);
  TIFFSetField(tiff, TIFFTAG_FILLORDER, page.fillOrder);
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, page.orientation);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
               page.rowsPerStrip ? page.rowsPerStrip : static_cast<std::uint32_t>(page.height));
  std::vector<std::uint8_t> row(static_cast<std::size_t>((page.width + 7) / 8));
  for (int y = 0; y < page.height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < page.width; ++x) {
      // Min-is-white: 1 is ink; min-is-black: 0 is.
      const bool one = ink(x, y) != (page.photometric == PHOTOMETRIC_MINISBLACK);
      if (one) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    if (TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) < 0) {
      TIFFClose(tiff);
      throw std::runtime_error("scanline not written");
    }
  }
  TIFFClose(tiff);
  const std::string bytes = test::ReadBytes(path);
  return Bytes(bytes.begin(), bytes.end());
}

// Runs of either colour of every length up to |longest|, rows now and then
// repeating the row above shifted a little (the vertical modes), now and
// then passing under its runs (the pass mode).
Ink RandomRuns(int width, int height, int longest, std::uint32_t seed) {
  auto rows = std::make_shared<std::vector<std::vector<bool>>>();
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    std::vector<bool> row(static_cast<std::size_t>(width));
    const int kind = static_cast<int>(random() % 4);
    if (y > 0 && kind == 0) {
      const int shift = static_cast<int>(random() % 7) - 3;
      for (int x = 0; x < width; ++x) {
        const int from = std::clamp(x - shift, 0, width - 1);
        row[static_cast<std::size_t>(x)] = (*rows)[static_cast<std::size_t>(y - 1)][static_cast<std::size_t>(from)];
      }
    } else {
      bool ink = random() % 2 == 0;
      for (int x = 0; x < width;) {
        // Short runs mostly, and every so often a long one.
        const int run = random() % 8 == 0 ? static_cast<int>(random() % (longest + 1))
                                          : static_cast<int>(random() % 12);
        for (int i = 0; i < run && x < width; ++i, ++x) row[static_cast<std::size_t>(x)] = ink;
        ink = !ink;
      }
    }
    rows->push_back(std::move(row));
  }
  return [rows](int x, int y) {
    return static_cast<bool>((*rows)[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
  };
}

// The page at its own size: every pixel black or white as written.
void ExpectExact(const G4Page& page, const Ink& ink) {
  const Bytes file = WriteG4(page, ink);
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(page.width) * page.height * 3, 7);
  ASSERT_TRUE(AverageBilevelTiff(file, 0, 0, page.width, page.height, page.width, page.height,
                                 rgb.data()));
  int wrong = 0;
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) {
      const std::size_t at = (static_cast<std::size_t>(y) * page.width + x) * 3;
      const int expected = ink(x, y) ? 0 : 255;
      if (rgb[at] != expected || rgb[at + 1] != expected || rgb[at + 2] != expected) {
        if (++wrong <= 5) ADD_FAILURE() << "pixel " << x << ", " << y << " is " << int(rgb[at]);
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(BilevelTiff, DecodesEveryPixelAsWritten) {
  struct Case {
    const char* name;
    G4Page page;
    int longest;
  };
  const Case cases[] = {
      {"narrow", {1, 40}, 4},
      {"odd width", {37, 50}, 40},
      {"runs past every makeup code", {5300, 12}, 5300},
      {"min-is-black", {200, 60, PHOTOMETRIC_MINISBLACK}, 300},
      {"bits reversed in each byte", {200, 60, PHOTOMETRIC_MINISWHITE, FILLORDER_LSB2MSB}, 300},
      {"many strips", {300, 70, PHOTOMETRIC_MINISWHITE, FILLORDER_MSB2LSB, 8}, 300},
      {"A4 at 200 dpi", {1654, 2339}, 1654},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectExact(c.page, RandomRuns(c.page.width, c.page.height, c.longest, 7));
  }
}

TEST(BilevelTiff, DecodesTheTestPagesOfTheSavesAsDrawn) {
  for (int glyphScale : {1, 4}) {
    SCOPED_TRACE(glyphScale);
    test::TiffPage page;
    page.width = 850;
    page.height = 300;
    page.glyphScale = glyphScale;
    page.seed = 3;
    ExpectExact({page.width, page.height}, [&](int x, int y) { return test::InkAt(page, x, y); });
  }
}

// The mean of the ink-free share of each target pixel, worked out with
// plain sums over the page's pixels: the picture HALFTONE shows.
std::vector<double> Reference(const Ink& ink, double x0, double y0, double w, double h, int cx,
                              int cy) {
  std::vector<double> out;
  for (int ty = 0; ty < cy; ++ty) {
    for (int tx = 0; tx < cx; ++tx) {
      const double left = x0 + w * tx / cx, right = x0 + w * (tx + 1) / cx;
      const double top = y0 + h * ty / cy, bottom = y0 + h * (ty + 1) / cy;
      double paper = 0;
      for (int y = static_cast<int>(top); y < bottom; ++y) {
        const double dy = std::min<double>(bottom, y + 1) - std::max<double>(top, y);
        for (int x = static_cast<int>(left); x < right; ++x) {
          const double dx = std::min<double>(right, x + 1) - std::max<double>(left, x);
          if (!ink(x, y)) paper += dx * dy;
        }
      }
      out.push_back(255 * paper / ((right - left) * (bottom - top)));
    }
  }
  return out;
}

TEST(BilevelTiff, ASmallerPictureIsTheAreaMeanOfThePage) {
  struct Case {
    const char* name;
    double x, y, w, h;
    int cx, cy;
  };
  const G4Page page{401, 333};
  const Ink ink = RandomRuns(page.width, page.height, 120, 11);
  const Bytes file = WriteG4(page, ink);
  const Case cases[] = {
      {"whole page, by whole pixels", 0, 0, 400, 333, 100, 111},
      {"whole page, by fractions", 0, 0, 401, 333, 96, 71},
      {"a part of it", 10.5, 20.25, 200, 150.5, 37, 29},
      {"one pixel", 0, 0, 401, 333, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(c.cx) * c.cy * 3);
    ASSERT_TRUE(AverageBilevelTiff(file, c.x, c.y, c.w, c.h, c.cx, c.cy, rgb.data()));
    const std::vector<double> expected = Reference(ink, c.x, c.y, c.w, c.h, c.cx, c.cy);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_NEAR(rgb[i * 3], expected[i], 1.0) << "pixel " << i;
      ASSERT_EQ(rgb[i * 3], rgb[i * 3 + 1]);
      ASSERT_EQ(rgb[i * 3], rgb[i * 3 + 2]);
    }
  }
}

// What this does not decode exactly is refused, so that wx's decoder
// takes it; broken data is refused without reading outside the file.
TEST(BilevelTiff, RefusesWhatItDoesNotDecode) {
  const Ink ink = RandomRuns(120, 90, 60, 5);
  const Bytes good = WriteG4({120, 90}, ink);
  std::vector<std::uint8_t> out(120 * 90 * 3);
  ASSERT_TRUE(AverageBilevelTiff(good, 0, 0, 120, 90, 60, 45, out.data()));

  struct Case {
    const char* name;
    Bytes file;
    int cx = 60, cy = 45;
  };
  Bytes cut = good;
  // The strip's data ends in the middle; its byte count still says more.
  Bytes garbled = good;
  for (std::size_t i = 8; i < 40 && i < garbled.size(); ++i) garbled[i] = 0;
  Case cases[] = {
      {"no compression", WriteG4({120, 90, PHOTOMETRIC_MINISWHITE, FILLORDER_MSB2LSB, 0, COMPRESSION_NONE}, ink)},
      {"Group 3", WriteG4({120, 90, PHOTOMETRIC_MINISWHITE, FILLORDER_MSB2LSB, 0, COMPRESSION_CCITTFAX3}, ink)},
      {"turned page", WriteG4({120, 90, PHOTOMETRIC_MINISWHITE, FILLORDER_MSB2LSB, 0, COMPRESSION_CCITTFAX4, ORIENTATION_BOTRIGHT}, ink)},
      {"an enlargement", good, 240, 45},
      {"the coded data zeroed", garbled},
      {"not a TIFF", Bytes{'P', '4', '\n'}},
      {"empty", Bytes{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> to(static_cast<std::size_t>(c.cx) * c.cy * 3);
    EXPECT_FALSE(AverageBilevelTiff(c.file, 0, 0, 120, 90, c.cx, c.cy, to.data()));
  }
  // Every shorter file: refused or decoded, never read beyond.
  for (std::size_t size = 0; size < good.size(); size += 7) {
    const Bytes prefix(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    AverageBilevelTiff(prefix, 0, 0, 120, 90, 60, 45, out.data());
  }
}

TEST(AreaAverage, EachPixelIsTheMeanOfWhatItCovers) {
  // Three pixels into two: each takes one and a half.
  const std::uint8_t row[] = {0, 0, 0, 90, 90, 90, 180, 180, 180};
  std::uint8_t two[6] = {};
  ASSERT_TRUE(AreaAverage({row, 3, 1}, 0, 0, 3, 1, 2, 1, two));
  EXPECT_EQ(two[0], 30);   // (0 + 90 / 2) / 1.5
  EXPECT_EQ(two[3], 150);  // (90 / 2 + 180) / 1.5
  // Channels apart, blocks of two by two.
  std::vector<std::uint8_t> square(4 * 4 * 3);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      std::uint8_t* p = &square[static_cast<std::size_t>(y * 4 + x) * 3];
      p[0] = static_cast<std::uint8_t>(x * 40);
      p[1] = static_cast<std::uint8_t>(y * 40);
      p[2] = 200;
    }
  }
  std::uint8_t quarter[2 * 2 * 3] = {};
  ASSERT_TRUE(AreaAverage({square.data(), 4, 4}, 0, 0, 4, 4, 2, 2, quarter));
  const std::uint8_t expected[] = {20, 20, 200, 100, 20, 200, 20, 100, 200, 100, 100, 200};
  for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(quarter[i], expected[i]) << i;
  // A part, and a part partly outside the picture (clipped).
  std::uint8_t one[3] = {};
  ASSERT_TRUE(AreaAverage({square.data(), 4, 4}, 2, 2, 2, 2, 1, 1, one));
  EXPECT_EQ(one[0], 100);
  EXPECT_EQ(one[1], 100);
  ASSERT_TRUE(AreaAverage({square.data(), 4, 4}, 3, 3, 5, 5, 1, 1, one));
  EXPECT_EQ(one[0], 120);
  // Not a reduction.
  std::uint8_t big[5 * 5 * 3] = {};
  EXPECT_FALSE(AreaAverage({square.data(), 4, 4}, 0, 0, 4, 4, 5, 5, big));
  EXPECT_FALSE(AreaAverage({square.data(), 4, 4}, 8, 8, 4, 4, 1, 1, one));
}

}  // namespace
}  // namespace tallow
