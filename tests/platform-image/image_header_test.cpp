#include "platform/image_header.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "page_maker.h"
#include "support/temp_dir.h"

namespace tallow {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// ---- JPEG fixtures ----

const Bytes kSoi = {0xFF, 0xD8};
const Bytes kEoi = {0xFF, 0xD9};

// A marker segment; its length field counts itself and |body|.
Bytes Segment(std::uint8_t marker, const Bytes& body) {
  const std::size_t length = body.size() + 2;
  Bytes out = {0xFF, marker, static_cast<std::uint8_t>(length >> 8),
               static_cast<std::uint8_t>(length)};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// A frame header of one 8-bit component.
Bytes Sof(std::uint8_t marker, int height, int width) {
  return Segment(marker, {8, static_cast<std::uint8_t>(height >> 8),
                          static_cast<std::uint8_t>(height), static_cast<std::uint8_t>(width >> 8),
                          static_cast<std::uint8_t>(width), 1, 1, 0x11, 0});
}

// Bodies that read as 20 x 10 if taken for a frame header.
const Bytes kLookalikeBody = {8, 0, 10, 0, 20, 1, 1, 0x11, 0};
const Bytes kApp1 = Segment(0xE1, {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42});
const Bytes kSos = Segment(0xDA, {1, 1, 0, 0, 63, 0});

// ---- TIFF fixtures ----

struct Entry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  std::uint32_t value;
};

constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;
constexpr std::uint16_t kRational = 5;

class TiffWriter {
 public:
  explicit TiffWriter(bool big) : big_(big) {}
  void U16(std::uint32_t v) {
    Put(big_ ? v >> 8 : v);
    Put(big_ ? v : v >> 8);
  }
  void U32(std::uint32_t v) {
    U16(big_ ? v >> 16 : v & 0xFFFF);
    U16(big_ ? v & 0xFFFF : v >> 16);
  }
  void Put(std::uint32_t b) { bytes.push_back(static_cast<std::uint8_t>(b)); }
  Bytes bytes;

 private:
  bool big_;
};

// A header and one directory at offset 8 (or at |ifd| when given), its
// entries' values held in the entries.
Bytes Tiff(bool big, std::initializer_list<Entry> entries, std::uint32_t ifd = 8) {
  TiffWriter w(big);
  if (big) {
    w.bytes = {'M', 'M', 0, 42};
  } else {
    w.bytes = {'I', 'I', 42, 0};
  }
  w.U32(ifd);
  w.U16(static_cast<std::uint32_t>(entries.size()));
  for (const Entry& e : entries) {
    w.U16(e.tag);
    w.U16(e.type);
    w.U32(e.count);
    if (e.type == kShort) {
      w.U16(e.value);
      w.U16(0);
    } else {
      w.U32(e.value);
    }
  }
  w.U32(0);  // no next directory
  return w.bytes;
}

Entry Width(std::uint32_t v, std::uint16_t type = kShort, std::uint32_t count = 1) {
  return {256, type, count, v};
}
Entry Height(std::uint32_t v, std::uint16_t type = kShort, std::uint32_t count = 1) {
  return {257, type, count, v};
}
const Entry kCompressionG4 = {259, kShort, 1, 4};

// ---- Cases ----

struct Case {
  const char* name;
  Bytes data;
  std::optional<ImageHeader> want;
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

std::optional<ImageHeader> Jpeg(int width, int height) {
  return ImageHeader{ImageFormat::kJpeg, width, height};
}
std::optional<ImageHeader> TiffSize(int width, int height) {
  return ImageHeader{ImageFormat::kTiff, width, height};
}
const std::optional<ImageHeader> kRefused;

Bytes Truncated(Bytes b, std::size_t drop) {
  b.resize(b.size() - drop);
  return b;
}

std::vector<Case> JpegCases() {
  return {
      {"Sof0", Cat({kSoi, Sof(0xC0, 480, 640), kSos}), Jpeg(640, 480)},
      {"App1BeforeSof", Cat({kSoi, kApp1, Sof(0xC0, 2200, 1700), kSos}), Jpeg(1700, 2200)},
      {"ProgressiveSof2", Cat({kSoi, Sof(0xC2, 3508, 2480), kSos}), Jpeg(2480, 3508)},
      {"LastSofMarkerSof15", Cat({kSoi, Sof(0xCF, 3, 4), kSos}), Jpeg(4, 3)},
      {"FullSixteenBitWidth", Cat({kSoi, Sof(0xC1, 3, 0xFFFF)}), Jpeg(65535, 3)},
      {"FillBytesBeforeMarkers",
       Cat({kSoi, {0xFF, 0xFF, 0xFF}, kApp1, {0xFF, 0xFF}, Sof(0xC0, 10, 20)}), Jpeg(20, 10)},
      {"DhtBeforeSof", Cat({kSoi, Segment(0xC4, kLookalikeBody), Sof(0xC0, 300, 200)}),
       Jpeg(200, 300)},
      {"JpgAndDacBeforeSof",
       Cat({kSoi, Segment(0xC8, kLookalikeBody), Segment(0xCC, kLookalikeBody),
            Sof(0xC0, 300, 200)}),
       Jpeg(200, 300)},
      {"StandaloneMarkersHaveNoLength", Cat({kSoi, {0xFF, 0xD0, 0xFF, 0x01}, Sof(0xC0, 5, 6)}),
       Jpeg(6, 5)},
      {"SoiOnly", kSoi, kRefused},
      {"TruncatedSegment", Truncated(Cat({kSoi, kApp1, Sof(0xC0, 480, 640)}), 15), kRefused},
      {"TruncatedSof", Truncated(Cat({kSoi, Sof(0xC0, 480, 640)}), 1), kRefused},
      {"LengthCutInHalf", Cat({kSoi, {0xFF, 0xE0, 0x00}}), kRefused},
      {"SofTooShortForSize", Cat({kSoi, Segment(0xC0, {8, 0, 10, 0}), Segment(0xE0, {0, 20})}),
       kRefused},
      {"SegmentLengthZero", Cat({kSoi, {0xFF, 0xE0, 0x00, 0x00}, Sof(0xC0, 1, 1)}), kRefused},
      {"SegmentLengthOne", Cat({kSoi, {0xFF, 0xE0, 0x00, 0x01}, Sof(0xC0, 1, 1)}), kRefused},
      {"SosBeforeSof", Cat({kSoi, kSos, Sof(0xC0, 480, 640)}), kRefused},
      {"EoiBeforeSof", Cat({kSoi, kEoi, Sof(0xC0, 480, 640)}), kRefused},
      {"SecondSoi", Cat({kSoi, kSoi, Sof(0xC0, 480, 640)}), kRefused},
      {"ZeroHeightWaitsForDnl", Cat({kSoi, Sof(0xC0, 0, 640), kSos}), kRefused},
      {"ZeroWidth", Cat({kSoi, Sof(0xC0, 480, 0), kSos}), kRefused},
      {"NoMarkerWhereOneIsDue", Cat({kSoi, {0x00}, Sof(0xC0, 480, 640)}), kRefused},
      {"FillBytesToTheEnd", Cat({kSoi, {0xFF, 0xFF, 0xFF}}), kRefused},
  };
}

std::vector<Case> TiffCases() {
  return {
      {"LittleShort", Tiff(false, {Width(1728), Height(2292), kCompressionG4}),
       TiffSize(1728, 2292)},
      {"LittleLong", Tiff(false, {Width(2480, kLong), Height(3508, kLong)}), TiffSize(2480, 3508)},
      {"BigShort", Tiff(true, {Width(1728), Height(2292), kCompressionG4}), TiffSize(1728, 2292)},
      {"BigLong", Tiff(true, {Width(70000, kLong), Height(3, kLong)}), TiffSize(70000, 3)},
      {"MixedTypes", Tiff(true, {Height(300, kLong), Width(200)}), TiffSize(200, 300)},
      {"ShortPair", Tiff(false, {Width(8, kShort, 2), Height(9)}), TiffSize(8, 9)},
      {"LargestLong", Tiff(true, {Width(0xFFFFFFFFu, kLong), Height(1)}), kRefused},
      {"IfdOffsetPastTheEnd", Tiff(false, {Width(10), Height(10)}, 4096), kRefused},
      {"IfdOffsetAtLastByte", Tiff(false, {Width(10), Height(10)}, 37), kRefused},
      {"IfdOffsetZero", Tiff(false, {Width(10), Height(10)}, 0), kRefused},
      // Two entries and the next-directory offset are there, the third entry is not.
      {"EntryCountPastTheEnd",
       [] {
         Bytes b = Tiff(false, {Width(10), Height(10)});
         b[8] = 3;
         return b;
       }(),
       kRefused},
      {"TruncatedEntry", Truncated(Tiff(true, {Width(10), Height(10)}), 5), kRefused},
      {"NoEntries", Tiff(false, {}), kRefused},
      {"MissingWidth", Tiff(false, {Height(10), kCompressionG4}), kRefused},
      {"MissingHeight", Tiff(true, {Width(10), kCompressionG4}), kRefused},
      {"ZeroWidth", Tiff(false, {Width(0), Height(10)}), kRefused},
      {"ZeroCount", Tiff(false, {Width(10, kShort, 0), Height(10)}), kRefused},
      {"ShortValuesNotInEntry", Tiff(false, {Width(10, kShort, 3), Height(10)}), kRefused},
      {"LongValueNotInEntry", Tiff(false, {Width(10, kLong, 2), Height(10)}), kRefused},
      {"RationalWidth", Tiff(false, {Width(10, kRational), Height(10)}), kRefused},
  };
}

// A page that declares more pixels than the writers take: no size, so that
// nothing asks for the memory it declares; up to the bounds, its size.
std::vector<Case> LimitCases() {
  constexpr int kSide = kMaxImageSide;
  constexpr int kRowsAtLimit = static_cast<int>(kMaxImagePixels / kMaxImageSide);
  static_assert(std::uint64_t{kSide} * kRowsAtLimit == kMaxImagePixels);
  const Entry rgb[] = {{258, kShort, 3, 0}, {259, kShort, 1, 1}, {262, kShort, 1, 2},
                       {277, kShort, 1, 3}};
  const auto rgbTiff = [&](std::uint32_t width, std::uint32_t height) {
    return Tiff(false, {Width(width, kLong), Height(height, kLong), rgb[0], rgb[1], rgb[2], rgb[3]});
  };
  return {
      {"HugeTiffRgb", rgbTiff(40000, 40000), kRefused},
      {"HugeTiffG4", Tiff(true, {Width(40000, kLong), Height(40000, kLong), kCompressionG4}),
       kRefused},
      {"HugeJpeg", Cat({kSoi, Sof(0xC0, 65000, 65000), kSos}), kRefused},
      {"HugeProgressiveJpeg", Cat({kSoi, kApp1, Sof(0xC2, 65000, 65000), kSos}), kRefused},
      {"LargestJpeg", Cat({kSoi, Sof(0xC1, 0xFFFF, 0xFFFF)}), kRefused},
      {"TiffAtThePixelLimit", rgbTiff(kSide, kRowsAtLimit), TiffSize(kSide, kRowsAtLimit)},
      {"TiffOneRowAboveThePixelLimit", rgbTiff(kSide, kRowsAtLimit + 1), kRefused},
      {"TiffAtTheSideLimit", Tiff(false, {Width(kSide, kLong), Height(1, kLong)}),
       TiffSize(kSide, 1)},
      {"TiffAboveTheSideLimit", Tiff(false, {Width(kSide + 1, kLong), Height(1, kLong)}),
       kRefused},
      {"TiffHeightAboveTheSideLimit", Tiff(true, {Width(1), Height(kSide + 1, kLong)}), kRefused},
      {"JpegAtThePixelLimit", Cat({kSoi, Sof(0xC0, 16384, 32768), kSos}), Jpeg(32768, 16384)},
      {"JpegOneRowAboveThePixelLimit", Cat({kSoi, Sof(0xC2, 16385, 32768), kSos}), kRefused},
  };
}

std::vector<Case> OtherCases() {
  return {
      {"Empty", {}, kRefused},
      {"OneFF", {0xFF}, kRefused},
      {"Png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13}, kRefused},
      {"Pdf", {'%', 'P', 'D', 'F', '-', '1', '.', '4', '\n'}, kRefused},
      {"TiffHeaderCut", {'I', 'I', 42, 0, 8, 0, 0}, kRefused},
      {"BigTiff", {'I', 'I', 43, 0, 8, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0}, kRefused},
      {"MixedByteOrderMark", {'I', 'M', 42, 0, 8, 0, 0, 0, 0, 0}, kRefused},
  };
}

class ImageHeaderTest : public ::testing::TestWithParam<Case> {};

TEST_P(ImageHeaderTest, ReadsSizeOrRefuses) {
  const Case& c = GetParam();
  const std::optional<ImageHeader> got = ReadImageHeader(c.data);
  ASSERT_EQ(got.has_value(), c.want.has_value());
  if (!got) return;
  EXPECT_EQ(got->format, c.want->format);
  EXPECT_EQ(got->width, c.want->width);
  EXPECT_EQ(got->height, c.want->height);
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Jpeg, ImageHeaderTest, ::testing::ValuesIn(JpegCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Tiff, ImageHeaderTest, ::testing::ValuesIn(TiffCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Limits, ImageHeaderTest, ::testing::ValuesIn(LimitCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Other, ImageHeaderTest, ::testing::ValuesIn(OtherCases()), CaseName);

// Every cut of a header that is needed whole is refused, and read within its
// bounds: each cut gets an allocation of its own size, so that the address
// sanitizer sees a read past it.
TEST(ImageHeaderCuts, EveryPrefixIsRefused) {
  // The TIFF's next-directory offset is not needed for the first image.
  for (const Bytes& whole :
       {Cat({kSoi, kApp1, Sof(0xC2, 480, 640)}),
        Truncated(Tiff(true, {kCompressionG4, Width(10), Height(20, kLong)}), 4)}) {
    for (std::size_t n = 0; n < whole.size(); ++n) {
      const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
      EXPECT_FALSE(ReadImageHeader(cut)) << "prefix of " << n;
    }
    EXPECT_TRUE(ReadImageHeader(whole));
  }
}

// ---- Files ----

class ImageFileHeaderTest : public ::testing::Test {
 protected:
  test::TempDir scratch_;
  fs::path dir_ = scratch_.Path();
};

TEST_F(ImageFileHeaderTest, ReadsPagesMadeByTheCodecs) {
  struct PageCase {
    const char* file;
    ImageFormat format;
    int width;
    int height;
  };
  const PageCase pages[] = {
      {"page-1.jpg", ImageFormat::kJpeg, 123, 45},
      {"Seite-\xC3\xBC" "2.jpg", ImageFormat::kJpeg, 31, 257},  // non-ASCII name
      {"page-3.tif", ImageFormat::kTiff, 1728, 77},
  };
  {
    test::JpegPage jpeg;
    jpeg.width = 123;
    jpeg.height = 45;
    test::WriteBytes((dir_ / pages[0].file).string(), test::MakeJpeg(jpeg));
    jpeg.width = 31;
    jpeg.height = 257;
    jpeg.progressive = true;
    test::WriteBytes((dir_ / pages[1].file).string(), test::MakeJpeg(jpeg));
    test::TiffPage tiff;  // Group 4, as black-and-white pages come
    tiff.width = 1728;
    tiff.height = 77;
    test::WriteTiff((dir_ / pages[2].file).string(), tiff);
  }
  for (const PageCase& page : pages) {
    SCOPED_TRACE(page.file);
    const std::optional<ImageHeader> got = ReadImageFileHeader((dir_ / page.file).u16string());
    ASSERT_TRUE(got);
    EXPECT_EQ(got->format, page.format);
    EXPECT_EQ(got->width, page.width);
    EXPECT_EQ(got->height, page.height);
  }
}

TEST_F(ImageFileHeaderTest, RefusesWhatIsNotARegularReadableFile) {
  test::WriteBytes((dir_ / "empty.jpg").string(), "");
  ASSERT_EQ(::mkfifo((dir_ / "pipe.jpg").c_str(), 0600), 0);
  fs::create_directories(dir_ / "folder.jpg");
  // A name cut at a NUL would name the readable page before it.
  test::JpegPage jpeg;
  test::WriteBytes((dir_ / "a").string(), test::MakeJpeg(jpeg));
  const WString cutAtNul = (dir_ / "a").u16string() + u'\0' + u"b";

  for (const WString& path : {(dir_ / "missing.jpg").u16string(),
                              (dir_ / "empty.jpg").u16string(),
                              (dir_ / "pipe.jpg").u16string(),  // must not block either
                              (dir_ / "folder.jpg").u16string(), cutAtNul, WString()}) {
    EXPECT_FALSE(ReadImageFileHeader(path)) << ToAnsi(path);
  }
  EXPECT_TRUE(ReadImageFileHeader((dir_ / "a").u16string()));
}

}  // namespace
}  // namespace tallow
