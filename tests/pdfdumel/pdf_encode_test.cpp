// The PDF library on generated page files, judged by qpdf and poppler.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tiffio.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "contracts/codec_api.h"
#include "page_maker.h"
#include "pdf_encoder.h"
#include "pdf_tools.h"
#include "support/temp_dir.h"

namespace dumel {
namespace {

using namespace tallow::test;

constexpr std::uint32_t kDocument = 0x1A2B;

std::string Listing(const std::string& folder) {
  std::string out;
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
  for (const auto& n : names) out += n + " ";
  return out;
}

class PdfEncode : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(Work());
    std::filesystem::create_directory(Out());
  }
  std::string Work() const { return dir_.File("save"); }
  std::string Out() const { return dir_.File("out"); }
  std::string Pdf() const { return Out() + "/doc.pdf"; }
  std::string PagePath(int n, const char* extension) const {
    char name[32];
    std::snprintf(name, sizeof name, "/%08X_%d.%s", kDocument, n, extension);
    return Work() + name;
  }
  void Jpeg(int n, const JpegPage& page) { WriteBytes(PagePath(n, "jpg"), MakeJpeg(page)); }
  void Tiff(int n, const TiffPage& page) { WriteTiff(PagePath(n, "tif"), page); }

  bool Encode(int first, int last, int flag, const std::vector<CodecPageInfo>& pages = {},
              const std::string& output = "") {
    PdfRequest request;
    request.output = output.empty() ? Pdf() : output;
    request.workFolder = Work();
    request.pages = pages.empty() ? nullptr : pages.data();
    request.documentId = kDocument;
    request.firstPage = first;
    request.lastPage = last;
    request.colorFlag = flag;
    reason_.clear();
    return EncodePdf(request, PageLimits(), reason_);
  }

  TempDir dir_;
  std::string reason_;
};

TEST_F(PdfEncode, ColourPagesAreTheJpegFilesUnchanged) {
  JpegPage rgb;
  rgb.width = 120, rgb.height = 90;
  JpegPage gray;
  gray.components = 1, gray.width = 80, gray.height = 60, gray.dpi = 150;
  JpegPage cmyk;
  cmyk.components = 4;
  JpegPage progressive;
  progressive.width = 100, progressive.height = 80, progressive.progressive = true;
  Jpeg(1, rgb);
  Jpeg(2, gray);
  Jpeg(3, cmyk);
  Jpeg(4, progressive);
  std::vector<CodecPageInfo> pages(5);
  pages[2] = CodecPageInfo{80, 60, 100, 100};  // the device's word goes before the file's
  pages[3] = CodecPageInfo{0, 0, 300, 300};    // libjpeg writes no density with CMYK
  ASSERT_TRUE(Encode(1, 4, CODEC_PDF_COLOR, pages)) << reason_;

  EXPECT_TRUE(QpdfChecks(Pdf()));
  const auto images = ListImages(Pdf());
  ASSERT_EQ(images.size(), 4u);
  const char* colors[] = {"rgb", "gray", "cmyk", "rgb"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(images[i].page, i + 1);
    EXPECT_EQ(images[i].encoding, "jpeg");
    EXPECT_EQ(images[i].color, colors[i]);
  }
  EXPECT_EQ(PageSizes(Pdf(), 4),
            (std::vector<std::string>{"28.80 x 21.60", "57.60 x 43.20", "15.36 x 11.52", "24.00 x 19.20"}));
  const auto files = ExtractImages(Pdf(), dir_.File("img"));
  ASSERT_EQ(files.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ReadBytes(files[i]), ReadBytes(PagePath(i + 1, "jpg"))) << "page " << i + 1;
  }
}

TEST_F(PdfEncode, AdobeCmykIsShownWithItsInvertedInks) {
  // Adobe's CMYK JPEG files store 255 for "no ink": the page must be white.
  JpegPage white;
  white.components = 4, white.cmykValue = 255, white.dpi = 72;
  Jpeg(1, white);
  ASSERT_TRUE(Encode(1, 1, CODEC_PDF_COLOR, {{}, {64, 48, 72, 72}})) << reason_;
  const PnmImage image = Render(Pdf(), 1, 72, true, dir_.File("r"));
  ASSERT_EQ(image.width, 64);
  for (std::uint8_t v : image.samples) ASSERT_GE(v, 245);
}

// A JPEG page of |width| x |height| pixels: JFIF density |dpi| (0: units 0,
// no density), or in dots per centimetre with |perCentimetre|, and an
// EXIF segment after the JFIF one when |exif| is given.
std::string JpegBytes(int width, int height, int dpi, bool perCentimetre = false, const std::string& exif = "") {
  JpegPage page;
  page.width = width, page.height = height, page.dpi = dpi;
  std::string bytes = MakeJpeg(page);
  // SOI, then APP0: FF E0, length (2), "JFIF\0", version (2), units at 13.
  if (perCentimetre) bytes[13] = 2;
  if (!exif.empty()) bytes.insert(20, exif);
  return bytes;
}

// An APP1 segment with EXIF resolution tags: X and Y as rationals, the unit
// (0: no ResolutionUnit tag), in either byte order.
std::string ExifSegment(std::uint32_t x, std::uint32_t y, std::uint32_t denominator, int unit, bool bigEndian) {
  std::string tiff;
  auto put16 = [&](unsigned v) {
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    tiff += bigEndian ? std::string{b[1], b[0]} : std::string{b[0], b[1]};
  };
  auto put32 = [&](std::uint32_t v) {
    if (bigEndian) put16(v >> 16), put16(v & 0xFFFF);
    else put16(v & 0xFFFF), put16(v >> 16);
  };
  tiff += bigEndian ? "MM" : "II";
  put16(42);
  put32(8);
  const unsigned entries = unit ? 3 : 2;
  put16(entries);
  const std::uint32_t values = 8 + 2 + entries * 12 + 4;
  put16(0x011A), put16(5), put32(1), put32(values);
  put16(0x011B), put16(5), put32(1), put32(values + 8);
  if (unit) put16(0x0128), put16(3), put32(1), put16(static_cast<unsigned>(unit)), put16(0);
  put32(0);
  put32(x), put32(denominator), put32(y), put32(denominator);
  const std::string payload = std::string("Exif\0\0", 6) + tiff;
  std::string segment = "\xFF\xE1";
  segment.push_back(static_cast<char>((payload.size() + 2) >> 8));
  segment.push_back(static_cast<char>((payload.size() + 2) & 0xFF));
  return segment + payload;
}

// The page's size comes from its picture's own pixels; its resolution from
// the device's entry, else from the file, else from another page, else the
// default. Zero-filled entries are what the save road may hand over.
TEST_F(PdfEncode, PageSizeIsThePictureAtItsResolution) {
  struct Case {
    const char* name;
    CodecPageInfo entry;
    std::string jpeg;  // empty: a TIFF page
    TiffPage tiff;
    const char* size;
    int ppi;
  };
  TiffPage tiff300;
  tiff300.width = 160, tiff300.height = 120, tiff300.dpi = 300;
  TiffPage tiffNone = tiff300;
  tiffNone.dpi = 0;
  JpegPage cmyk;
  cmyk.components = 4;  // an Adobe marker and no JFIF density
  const Case cases[] = {
      {"entry's pixels differ from the picture's", {2550, 3300, 300, 300}, JpegBytes(64, 48, 72), {}, "15.36 x 11.52", 300},
      {"entry's pixels swapped", {48, 64, 100, 100}, JpegBytes(64, 48, 72), {}, "46.08 x 34.56", 100},
      {"TIFF with the entry's resolution", {2480, 3508, 150, 150}, "", tiff300, "76.80 x 57.60", 150},
      {"zero entry: JFIF per inch", {0, 0, 0, 0}, JpegBytes(64, 48, 200), {}, "23.04 x 17.28", 200},
      {"zero entry: JFIF per centimetre", {0, 0, 0, 0}, JpegBytes(64, 48, 40, true), {}, "45.35 x 34.02", 102},
      {"one side in the entry", {0, 0, 0, 144}, JpegBytes(64, 48, 0), {}, "32.00 x 24.00", 144},
      {"EXIF in inches, little-endian", {0, 0, 0, 0}, JpegBytes(64, 48, 0, false, ExifSegment(300, 300, 1, 2, false)), {},
       "15.36 x 11.52", 300},
      {"EXIF without a unit tag is in inches", {0, 0, 0, 0}, JpegBytes(64, 48, 0, false, ExifSegment(1500, 1500, 10, 0, true)),
       {}, "30.72 x 23.04", 150},
      {"EXIF in centimetres, big-endian", {0, 0, 0, 0}, JpegBytes(64, 48, 0, false, ExifSegment(40, 40, 1, 3, true)), {},
       "45.35 x 34.02", 102},
      {"JFIF goes before EXIF", {0, 0, 0, 0}, JpegBytes(64, 48, 100, false, ExifSegment(300, 300, 1, 2, false)), {},
       "46.08 x 34.56", 100},
      {"EXIF with no absolute unit: default", {0, 0, 0, 0}, JpegBytes(64, 48, 0, false, ExifSegment(300, 300, 1, 1, false)),
       {}, "23.04 x 17.28", 200},
      {"no resolution anywhere: default", {0, 0, 0, 0}, JpegBytes(64, 48, 0), {}, "23.04 x 17.28", 200},
      {"CMYK with only an Adobe marker: default", {0, 0, 0, 0}, MakeJpeg(cmyk), {}, "23.04 x 17.28", 200},
      {"TIFF from its tags", {0, 0, 0, 0}, "", tiff300, "38.40 x 28.80", 300},
      {"TIFF without tags: default", {0, 0, 0, 0}, "", tiffNone, "57.60 x 43.20", 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Work());
    std::filesystem::create_directory(Work());
    const int flag = c.jpeg.empty() ? CODEC_PDF_MONO : CODEC_PDF_COLOR;
    if (c.jpeg.empty()) Tiff(1, c.tiff);
    else WriteBytes(PagePath(1, "jpg"), c.jpeg);
    std::filesystem::remove(Pdf());
    ASSERT_TRUE(Encode(1, 1, flag, {{}, c.entry})) << reason_;
    EXPECT_TRUE(QpdfChecks(Pdf()));
    EXPECT_EQ(PageSizes(Pdf(), 1), std::vector<std::string>{c.size});
    const auto images = ListImages(Pdf());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].xPpi, c.ppi);
    EXPECT_EQ(images[0].yPpi, c.ppi);
  }
}

TEST_F(PdfEncode, PagesWithoutResolutionTakeANeighboursOrTheDefault) {
  struct Case {
    std::vector<int> fileDpi;  // per page; 0 none
    std::vector<std::string> sizes;
  };
  // 64 x 48 pixels: 23.04 x 17.28 at 200 dpi, 46.08 x 34.56 at 100, 15.36 x 11.52 at 300.
  const Case cases[] = {
      {{0, 100, 0, 300, 0}, {"46.08 x 34.56", "46.08 x 34.56", "46.08 x 34.56", "15.36 x 11.52", "15.36 x 11.52"}},
      {{0, 0, 300}, {"15.36 x 11.52", "15.36 x 11.52", "15.36 x 11.52"}},
      {{0, 0}, {"23.04 x 17.28", "23.04 x 17.28"}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(Work());
    std::filesystem::create_directory(Work());
    const int pages = static_cast<int>(c.fileDpi.size());
    for (int n = 1; n <= pages; ++n) WriteBytes(PagePath(n, "jpg"), JpegBytes(64, 48, c.fileDpi[n - 1]));
    ASSERT_TRUE(Encode(1, pages, CODEC_PDF_COLOR, std::vector<CodecPageInfo>(pages + 1))) << reason_;
    EXPECT_TRUE(QpdfChecks(Pdf()));
    EXPECT_EQ(PageSizes(Pdf(), pages), c.sizes);
    EXPECT_EQ(ListImages(Pdf()).size(), c.fileDpi.size());
  }
}

// Decoders stop at the end-of-image marker and ignore what follows; the page
// goes in up to that marker.
TEST_F(PdfEncode, BytesAfterTheJpegEndAreLeftOut) {
  JpegPage progressive;
  progressive.progressive = true;
  const std::string plain = MakeJpeg(JpegPage()), layered = MakeJpeg(progressive);
  const std::string tails[] = {"\n", "\r\n", std::string(3, '\xFF'), std::string(100, '\0'), "\xFF\xD9\xFF\xD8junk"};
  for (const std::string* image : {&plain, &layered}) {
    for (const std::string& tail : tails) {
      SCOPED_TRACE(::testing::Message() << (image == &plain ? "baseline" : "progressive") << ", tail of "
                                        << tail.size());
      WriteBytes(PagePath(1, "jpg"), *image + tail);
      ASSERT_TRUE(Encode(1, 1, CODEC_PDF_COLOR)) << reason_;
      EXPECT_TRUE(QpdfChecks(Pdf()));
      const auto images = ListImages(Pdf());
      ASSERT_EQ(images.size(), 1u);
      EXPECT_EQ(images[0].encoding, "jpeg");
      const auto files = ExtractImages(Pdf(), dir_.File("img"));
      ASSERT_EQ(files.size(), 1u);
      EXPECT_EQ(ReadBytes(files[0]), *image);
      std::filesystem::remove(files[0]);
    }
  }
}

// Black-and-white and other TIFF pages: how each goes in, and that poppler
// draws each exactly as its source looks.
TEST_F(PdfEncode, TiffPagesKeepTheirPixels) {
  enum Look { kInk, kGray, kRgb, kPalette, kRgbLossy };
  enum Data { kAsIs, kReversed, kOther };
  struct Case {
    const char* name;
    TiffPage page;
    const char* encoding;
    Look look;
    Data data;
  };
  auto page = [](std::uint16_t compression, std::uint16_t photometric, std::function<void(TiffPage&)> more = {}) {
    TiffPage p;
    p.width = 160, p.height = 120, p.dpi = 72;
    p.compression = compression, p.photometric = photometric;
    if (more) more(p);
    return p;
  };
  const Case cases[] = {
      {"G4 min-is-white", page(COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE), "ccitt", kInk, kAsIs},
      {"G4 min-is-black", page(COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISBLACK), "ccitt", kInk, kAsIs},
      {"G3 1D", page(COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE), "ccitt", kInk, kAsIs},
      {"G3 2D", page(COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE, [](TiffPage& p) { p.group3Options = GROUP3OPT_2DENCODING; }),
       "ccitt", kInk, kAsIs},
      {"G4 fill order 2", page(COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, [](TiffPage& p) { p.fillOrder = FILLORDER_LSB2MSB; }),
       "ccitt", kInk, kReversed},
      {"G4 in strips", page(COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISBLACK, [](TiffPage& p) { p.rowsPerStrip = 16; }),
       "ccitt", kInk, kOther},
      {"G3 fill bits", page(COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE, [](TiffPage& p) { p.group3Options = GROUP3OPT_FILLBITS; }),
       "ccitt", kInk, kOther},
      {"bilevel uncompressed", page(COMPRESSION_NONE, PHOTOMETRIC_MINISWHITE), "ccitt", kInk, kOther},
      {"bilevel LZW", page(COMPRESSION_LZW, PHOTOMETRIC_MINISBLACK, [](TiffPage& p) { p.rowsPerStrip = 7; }),
       "ccitt", kInk, kOther},
      {"bilevel PackBits fill order 2", page(COMPRESSION_PACKBITS, PHOTOMETRIC_MINISWHITE, [](TiffPage& p) { p.fillOrder = FILLORDER_LSB2MSB; }),
       "ccitt", kInk, kOther},
      {"bilevel tiled G4", page(COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, [](TiffPage& p) { p.tileSize = 32; }),
       "image", kInk, kOther},
      {"grey LZW min-is-black", page(COMPRESSION_LZW, PHOTOMETRIC_MINISBLACK, [](TiffPage& p) { p.bitsPerSample = 8; }),
       "image", kGray, kOther},
      {"grey min-is-white", page(COMPRESSION_NONE, PHOTOMETRIC_MINISWHITE, [](TiffPage& p) { p.bitsPerSample = 8; p.rowsPerStrip = 10; }),
       "image", kGray, kOther},
      {"RGB Deflate", page(COMPRESSION_ADOBE_DEFLATE, PHOTOMETRIC_RGB, [](TiffPage& p) { p.bitsPerSample = 8; p.samplesPerPixel = 3; }),
       "image", kRgb, kOther},
      {"palette PackBits", page(COMPRESSION_PACKBITS, PHOTOMETRIC_PALETTE, [](TiffPage& p) { p.bitsPerSample = 8; }),
       "image", kPalette, kOther},
      {"JPEG YCbCr", page(COMPRESSION_JPEG, PHOTOMETRIC_YCBCR, [](TiffPage& p) { p.bitsPerSample = 8; p.samplesPerPixel = 3; p.rowsPerStrip = 16; }),
       "image", kRgbLossy, kOther},
  };
  const int count = static_cast<int>(std::size(cases));
  for (int i = 0; i < count; ++i) Tiff(i + 1, cases[i].page);
  ASSERT_TRUE(Encode(1, count, CODEC_PDF_MONO)) << reason_;

  EXPECT_TRUE(QpdfChecks(Pdf()));
  const auto images = ListImages(Pdf());
  ASSERT_EQ(images.size(), static_cast<std::size_t>(count));
  const auto files = ExtractImages(Pdf(), dir_.File("img"));
  ASSERT_EQ(files.size(), static_cast<std::size_t>(count));
  const auto sizes = PageSizes(Pdf(), count);
  for (int i = 0; i < count; ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(images[i].encoding, c.encoding);
    EXPECT_EQ(sizes[i], "160.00 x 120.00");
    if (c.data != kOther) {
      std::string strip = ReadTiffStrips(PagePath(i + 1, "tif")).strips.at(0);
      if (c.data == kReversed) {
        std::string reversed;
        for (unsigned char b : strip) {
          unsigned char r = 0;
          for (int k = 0; k < 8; ++k) r |= ((b >> k) & 1) << (7 - k);
          reversed.push_back(static_cast<char>(r));
        }
        strip = reversed;
      }
      EXPECT_EQ(ReadBytes(files[i]), strip) << "CCITT data must go in unchanged";
    }
    const bool color = c.look == kRgb || c.look == kPalette || c.look == kRgbLossy;
    const PnmImage image = Render(Pdf(), i + 1, 72, color, dir_.File("r"));
    ASSERT_EQ(image.width, 160);
    ASSERT_EQ(image.height, 120);
    long wrong = 0, error = 0;
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 160; ++x) {
        std::uint8_t want[3];
        switch (c.look) {
          case kInk: want[0] = InkAt(c.page, x, y) ? 0 : 255; break;
          case kGray: want[0] = GrayAt(c.page.seed, x, y); break;
          case kPalette: {
            const std::uint8_t index = GrayAt(c.page.seed, x, y);
            RgbAt(c.page.seed, index, index, want);
            break;
          }
          default: RgbAt(c.page.seed, x, y, want); break;
        }
        for (int ch = 0; ch < image.channels; ++ch) {
          const int d = std::abs(int{image.At(x, y, ch)} - want[ch]);
          error += d;
          if (d > 1) ++wrong;
        }
      }
    }
    if (c.look == kRgbLossy) {
      EXPECT_LT(error / (160 * 120 * 3), 6) << "mean error";
    } else {
      EXPECT_EQ(wrong, 0) << "pixels that differ from the source";
    }
  }
}

// A failing document writes nothing: the target keeps what it held, and no
// temporary file stays beside it.
TEST_F(PdfEncode, FailureLeavesTheTargetAsItWas) {
  struct Case {
    const char* name;
    int flag;
    std::function<void(const std::string& page2)> breakPage2;
  };
  const std::string good = MakeJpeg(JpegPage());
  auto jpegBytes = [](std::function<void(JpegPage&)> change) {
    JpegPage p;
    change(p);
    return MakeJpeg(p);
  };
  const Case cases[] = {
      {"missing page", CODEC_PDF_COLOR, [](const std::string& page2) { std::filesystem::remove(page2); }},
      {"JPEG cut short", CODEC_PDF_COLOR, [&](const std::string& page2) { WriteBytes(page2, good.substr(0, good.size() / 2)); }},
      {"JPEG header only", CODEC_PDF_COLOR, [&](const std::string& page2) { WriteBytes(page2, good.substr(0, 30)); }},
      {"arithmetic JPEG", CODEC_PDF_COLOR,
       [&](const std::string& page2) { WriteBytes(page2, jpegBytes([](JpegPage& p) { p.arithmetic = true; })); }},
      {"JPEG cut short, then a line feed", CODEC_PDF_COLOR,
       [&](const std::string& page2) { WriteBytes(page2, good.substr(0, good.size() / 2) + "\n"); }},
      {"empty file", CODEC_PDF_COLOR, [](const std::string& page2) { WriteBytes(page2, ""); }},
      {"a folder", CODEC_PDF_COLOR,
       [](const std::string& page2) {
         std::filesystem::remove(page2);
         std::filesystem::create_directory(page2);
       }},
      {"not a TIFF", CODEC_PDF_MONO, [](const std::string& page2) { WriteBytes(page2, "II*\0garbage garbage garbage"); }},
      {"TIFF cut short", CODEC_PDF_MONO,
       [](const std::string& page2) {
         const std::string bytes = ReadBytes(page2);
         // libtiff puts the directory after the strip: cut both.
         WriteBytes(page2, bytes.substr(0, bytes.size() / 3));
       }},
      {"TIFF strip damaged", CODEC_PDF_MONO,
       [](const std::string& page2) {
         TiffPage p;
         p.rowsPerStrip = 8;  // decoded again, so damage shows
         WriteTiff(page2, p);
         std::string bytes = ReadBytes(page2);
         // All ones would read as "same as the line above"; zeros are no code.
         for (std::size_t i = 8; i < 200 && i < bytes.size(); ++i) bytes[i] = 0;
         WriteBytes(page2, bytes);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Work());
    std::filesystem::create_directory(Work());
    for (int n = 1; n <= 3; ++n) {
      if (c.flag == CODEC_PDF_COLOR) WriteBytes(PagePath(n, "jpg"), good);
      else Tiff(n, TiffPage());
    }
    c.breakPage2(PagePath(2, c.flag == CODEC_PDF_COLOR ? "jpg" : "tif"));
    WriteBytes(Pdf(), "the file that was there");
    EXPECT_FALSE(Encode(1, 3, c.flag));
    EXPECT_NE(reason_.find("page 2"), std::string::npos) << reason_;
    EXPECT_EQ(ReadBytes(Pdf()), "the file that was there");
    EXPECT_EQ(Listing(Out()), "doc.pdf ");
  }
}

TEST_F(PdfEncode, RefusesWhatCannotBeADocument) {
  Jpeg(1, JpegPage());
  EXPECT_FALSE(Encode(0, 1, CODEC_PDF_COLOR));
  EXPECT_FALSE(Encode(2, 1, CODEC_PDF_COLOR));
  EXPECT_FALSE(Encode(1, 1, 2));
  EXPECT_FALSE(Encode(1, 1, CODEC_PDF_COLOR, {}, dir_.File("no/such/folder/doc.pdf")));
  EXPECT_FALSE(Encode(1, 1, CODEC_PDF_COLOR, {}, Out()));  // a folder
  EXPECT_EQ(Listing(Out()), "");
}

TEST_F(PdfEncode, ReplacesAnExistingFileKeepingItsMode) {
  Jpeg(1, JpegPage());
  WriteBytes(Pdf(), "old");
  ::chmod(Pdf().c_str(), 0640);
  ASSERT_TRUE(Encode(1, 1, CODEC_PDF_COLOR)) << reason_;
  EXPECT_EQ(ReadBytes(Pdf()).substr(0, 5), "%PDF-");
  struct stat st;
  ASSERT_EQ(::stat(Pdf().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Listing(Out()), "doc.pdf ");
}

TEST_F(PdfEncode, ExportTakesUtf16Paths) {
  const std::string folder = dir_.File("sp\xC3\xA4t");  // "spät"
  std::filesystem::create_directory(folder);
  Jpeg(1, JpegPage());
  std::u16string output = u"";
  for (char c : dir_.File("")) output.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  output += u"sp\u00e4t/doc.pdf";
  std::u16string work;
  for (char c : Work()) work.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  std::vector<CodecPageInfo> pages(2);
  EXPECT_EQ(PDF_Encode(output.data(), pages.data(), kDocument, 1, 1, CODEC_PDF_COLOR, work.data()), 0);
  EXPECT_TRUE(QpdfChecks(folder + "/doc.pdf"));
  EXPECT_EQ(PDF_Encode(output.data(), pages.data(), kDocument, 1, 2, CODEC_PDF_COLOR, work.data()), -1);
  EXPECT_EQ(PDF_Encode(nullptr, pages.data(), kDocument, 1, 1, CODEC_PDF_COLOR, work.data()), -1);
  EXPECT_EQ(PDF_Encode(output.data(), pages.data(), kDocument, 1, 1, CODEC_PDF_COLOR, nullptr), -1);
}

}  // namespace
}  // namespace dumel
