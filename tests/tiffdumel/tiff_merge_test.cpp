// The multi-page TIFF library on generated page files, judged by libtiff's
// own tools (tiffinfo, tiffsplit, tiffcmp).
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>

#include "contracts/codec_api.h"
#include "convert/convertor.h"
#include "page_maker.h"
#include "support/temp_dir.h"
#include "tiff_files.h"
#include "tiff_merge.h"

namespace dumel {
namespace {

using namespace tallow::test;

constexpr std::uint32_t kDocument = 0xFF;

std::string Listing(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
  std::string out;
  for (const auto& n : names) out += n + " ";
  return out;
}

// "Compression Scheme" of every directory, as tiffinfo prints them.
std::vector<std::string> ListedCompressions(const std::string& tiff, int* directories) {
  int status = -1;
  const std::string out = RunCommand("tiffinfo '" + tiff + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  std::vector<std::string> schemes;
  *directories = 0;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("TIFF Directory at offset", 0) == 0) ++*directories;
    const auto at = line.find("Compression Scheme: ");
    if (at != std::string::npos) schemes.push_back(line.substr(at + 20));
  }
  return schemes;
}

// An 8 x 8 uncompressed black-and-white TIFF file of 122 bytes whose one
// strip lies where the caller says, inside the file or not. A description
// of |descriptionBytes| at offset 8 makes it 12 bytes longer (and, when
// long, leaves the description's end past the file's).
std::string BilevelTiff(std::uint32_t stripOffset, std::uint32_t stripBytes, std::uint32_t descriptionBytes = 0) {
  std::string out("II*\0\x08\0\0\0", 8);
  auto u16 = [&](unsigned v) { out.push_back(static_cast<char>(v & 0xFF)); out.push_back(static_cast<char>(v >> 8)); };
  auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  auto entry = [&](unsigned tag, unsigned type, std::uint32_t value, std::uint32_t count = 1) {
    u16(tag); u16(type); u32(count); u32(value);
  };
  u16(descriptionBytes ? 10 : 9);
  entry(256, 3, 8);  // ImageWidth
  entry(257, 3, 8);  // ImageLength
  entry(258, 3, 1);  // BitsPerSample
  entry(259, 3, 1);  // Compression: none
  entry(262, 3, 0);  // Photometric: min-is-white
  if (descriptionBytes) entry(270, 2, 8, descriptionBytes);  // ImageDescription
  entry(273, 4, stripOffset);
  entry(277, 3, 1);  // SamplesPerPixel
  entry(278, 3, 8);  // RowsPerStrip
  entry(279, 4, stripBytes);
  u32(0);
  out.append(8, '\x55');  // the strip's data, at offset 122
  return out;
}

class MultiTiff : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(Work());
    std::filesystem::create_directory(Out());
  }
  std::string Work() const { return dir_.File("save"); }
  std::string Out() const { return dir_.File("out"); }
  std::string Tif() const { return Out() + "/doc.tif"; }
  std::string PagePath(int n) const {
    char name[32];
    std::snprintf(name, sizeof name, "/%08X_%d.tif", kDocument, n);
    return Work() + name;
  }
  bool Encode(int first, int last) {
    TiffRequest request;
    request.output = Tif();
    request.workFolder = Work();
    request.documentId = kDocument;
    request.firstPage = first;
    request.lastPage = last;
    reason_.clear();
    return EncodeMultiTiff(request, PageLimits(), reason_);
  }

  TempDir dir_;
  std::string reason_;
};

TEST_F(MultiTiff, EveryPageKeepsItsCompressedData) {
  struct Case {
    TiffPage page;
    const char* scheme;
  };
  auto page = [](std::uint16_t compression, std::function<void(TiffPage&)> more = {}) {
    TiffPage p;
    p.width = 200, p.height = 150, p.compression = compression;
    if (more) more(p);
    return p;
  };
  const Case cases[] = {
      {page(COMPRESSION_CCITTFAX4), "CCITT Group 4"},
      {page(COMPRESSION_CCITTFAX3, [](TiffPage& p) { p.group3Options = GROUP3OPT_2DENCODING; p.fillOrder = FILLORDER_LSB2MSB; p.dpi = 200; }),
       "CCITT Group 3"},
      {page(COMPRESSION_CCITTFAX4, [](TiffPage& p) { p.photometric = PHOTOMETRIC_MINISBLACK; p.rowsPerStrip = 16; }),
       "CCITT Group 4"},
      {page(COMPRESSION_LZW, [](TiffPage& p) { p.bitsPerSample = 8; p.photometric = PHOTOMETRIC_MINISBLACK; p.rowsPerStrip = 40; }),
       "LZW"},
      {page(COMPRESSION_ADOBE_DEFLATE, [](TiffPage& p) { p.bitsPerSample = 8; p.samplesPerPixel = 3; p.photometric = PHOTOMETRIC_RGB; }),
       "AdobeDeflate"},
      {page(COMPRESSION_JPEG, [](TiffPage& p) { p.bitsPerSample = 8; p.samplesPerPixel = 3; p.photometric = PHOTOMETRIC_YCBCR; p.rowsPerStrip = 16; }),
       "JPEG"},
      {page(COMPRESSION_PACKBITS, [](TiffPage& p) { p.bitsPerSample = 8; p.photometric = PHOTOMETRIC_PALETTE; p.tileSize = 64; }),
       "PackBits"},
      {page(COMPRESSION_NONE, [](TiffPage& p) { p.dpi = 0; }), "None"},
  };
  const int count = static_cast<int>(std::size(cases));
  for (int i = 0; i < count; ++i) WriteTiff(PagePath(i + 1), cases[i].page);
  ASSERT_TRUE(Encode(1, count)) << reason_;

  int directories = 0;
  const auto schemes = ListedCompressions(Tif(), &directories);
  EXPECT_EQ(directories, count);
  ASSERT_EQ(schemes.size(), static_cast<std::size_t>(count));
  int status = -1;
  const std::string split = RunCommand("tiffsplit '" + Tif() + "' '" + dir_.File("page-") + "' 2>&1", &status);
  ASSERT_EQ(status, 0) << split;
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(::testing::Message() << "page " << i + 1 << " " << cases[i].scheme);
    EXPECT_EQ(schemes[i], cases[i].scheme);
    // tiffsplit names its pages aaa, aab, ...
    const std::string piece = dir_.File(std::string("page-aa") + static_cast<char>('a' + i) + ".tif");
    // grep drops the one note expected: each directory is marked as a page.
    const std::string cmp = RunCommand("(tiffcmp '" + PagePath(i + 1) + "' '" + piece +
                                           "' 2>&1; echo status $?) | grep -v 'SubFileType tag appears only in'",
                                       &status);
    EXPECT_EQ(cmp, "status 0\n");
    // Not only equal pixels: the very bytes of every strip or tile.
    const TiffStrips source = ReadTiffStrips(PagePath(i + 1));
    const TiffStrips copied = ReadTiffStrips(Tif(), i);
    EXPECT_EQ(copied.compression, source.compression);
    EXPECT_EQ(copied.photometric, source.photometric);
    EXPECT_EQ(copied.fillOrder, source.fillOrder);
    EXPECT_EQ(copied.width, source.width);
    EXPECT_EQ(copied.height, source.height);
    EXPECT_EQ(copied.xResolution, source.xResolution);
    EXPECT_EQ(copied.yResolution, source.yResolution);
    EXPECT_TRUE(copied.strips == source.strips);
  }
}

// A failing document writes nothing: the target keeps what it held, and no
// temporary file stays beside it.
TEST_F(MultiTiff, FailureLeavesTheTargetAsItWas) {
  struct Case {
    const char* name;
    std::function<void(const std::string& page2)> breakPage2;
  };
  const Case cases[] = {
      {"missing page", [](const std::string& p) { std::filesystem::remove(p); }},
      {"not a TIFF", [](const std::string& p) { WriteBytes(p, "MM\0*not really a tiff file"); }},
      {"empty file", [](const std::string& p) { WriteBytes(p, ""); }},
      {"strip past the end", [](const std::string& p) { WriteBytes(p, BilevelTiff(1000, 8)); }},
      {"strip longer than the file", [](const std::string& p) { WriteBytes(p, BilevelTiff(130, 1u << 20)); }},
      {"a folder",
       [](const std::string& p) {
         std::filesystem::remove(p);
         std::filesystem::create_directory(p);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Work());
    std::filesystem::create_directory(Work());
    for (int n = 1; n <= 3; ++n) WriteTiff(PagePath(n), TiffPage());
    c.breakPage2(PagePath(2));
    WriteBytes(Tif(), "the file that was there");
    EXPECT_FALSE(Encode(1, 3));
    EXPECT_NE(reason_.find("page 2"), std::string::npos) << reason_;
    EXPECT_EQ(ReadBytes(Tif()), "the file that was there");
    EXPECT_EQ(Listing(Out()), "doc.tif ");
  }
}

// A page already in memory is read in place; libtiff must take it exactly
// as it takes the same bytes read through the file.
TEST_F(MultiTiff, APageInMemoryReadsAsItsFileDoes) {
  auto made = [&](std::function<void(TiffPage&)> change) {
    TiffPage p;
    change(p);
    WriteTiff(PagePath(1), p);
    return ReadBytes(PagePath(1));
  };
  const std::string sound = made([](TiffPage&) {});
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"Group 4", sound},
      {"LZW grey in strips", made([](TiffPage& p) {
         p.compression = COMPRESSION_LZW, p.bitsPerSample = 8, p.photometric = PHOTOMETRIC_MINISBLACK;
         p.rowsPerStrip = 16;
       })},
      {"tiled", made([](TiffPage& p) { p.compression = COMPRESSION_PACKBITS, p.bitsPerSample = 8, p.tileSize = 16; })},
      {"uncompressed, with a description", BilevelTiff(134, 8, 20)},
      {"description past the end", BilevelTiff(134, 8, 1u << 24)},
      {"strip past the end", BilevelTiff(1000, 8)},
      {"cut inside its directory", BilevelTiff(122, 8).substr(0, 60)},
      {"cut inside its data", sound.substr(0, sound.size() / 3)},
      {"not a TIFF", std::string("II*\0garbage garbage garbage", 28)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(PagePath(1), c.bytes);
    InputFile file;
    ASSERT_TRUE(file.Open(PagePath(1)));
    const MemoryReader memory(c.bytes);
    int fileErrors = 0, memoryErrors = 0;
    TiffHandle fromFile = OpenTiffForReading(file, 1 << 20, &fileErrors);
    TiffHandle fromMemory = OpenTiffForReading(memory, 1 << 20, &memoryErrors);
    ASSERT_EQ(fromFile == nullptr, fromMemory == nullptr);
    EXPECT_EQ(fileErrors, memoryErrors);
    if (!fromFile) continue;
    // Every strip or tile decodes to the same bytes, or fails on both.
    const bool tiled = TIFFIsTiled(fromFile.get());
    auto read = [tiled](TIFF* tiff, std::uint32_t i, std::vector<std::uint8_t>& buffer) {
      const auto size = static_cast<tmsize_t>(buffer.size());
      return tiled ? TIFFReadEncodedTile(tiff, i, buffer.data(), size) : TIFFReadEncodedStrip(tiff, i, buffer.data(), size);
    };
    const tmsize_t size = tiled ? TIFFTileSize(fromFile.get()) : TIFFStripSize(fromFile.get());
    ASSERT_GT(size, 0);
    std::vector<std::uint8_t> a(static_cast<std::size_t>(size)), b(a.size());
    const std::uint32_t count = tiled ? TIFFNumberOfTiles(fromFile.get()) : TIFFNumberOfStrips(fromFile.get());
    ASSERT_EQ(tiled ? TIFFNumberOfTiles(fromMemory.get()) : TIFFNumberOfStrips(fromMemory.get()), count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const tmsize_t gotA = read(fromFile.get(), i, a);
      const tmsize_t gotB = read(fromMemory.get(), i, b);
      EXPECT_EQ(gotA, gotB);
      if (gotA > 0 && gotA == gotB) {
        EXPECT_EQ(std::memcmp(a.data(), b.data(), static_cast<std::size_t>(gotA)), 0);
      }
    }
    EXPECT_EQ(fileErrors, memoryErrors);
  }
}

TEST_F(MultiTiff, RefusesWhatCannotBeADocument) {
  WriteBytes(PagePath(1), BilevelTiff(122, 8));  // the failures' page, made sound
  EXPECT_FALSE(Encode(0, 1));
  EXPECT_FALSE(Encode(2, 1));
  EXPECT_EQ(Listing(Out()), "");
  std::u16string output, work;
  for (char c : Out() + "/doc.tif") output.push_back(static_cast<unsigned char>(c));
  for (char c : Work()) work.push_back(static_cast<unsigned char>(c));
  EXPECT_EQ(MultiTiffEncode(nullptr, kDocument, 1, 1, work.data()), 0);
  EXPECT_EQ(MultiTiffEncode(output.data(), kDocument, 1, 1, nullptr), 0);
  EXPECT_NE(MultiTiffEncode(output.data(), kDocument, 1, 1, work.data()), 0);
  EXPECT_EQ(CountTiffDirectories(Tif()), 1);
}

// The whole road of a TIFF save: the system's writer loading the shipped
// library from the program's folder (this test runs beside it).
TEST_F(MultiTiff, TiffWriterSavesThroughTheLibrary) {
  for (int n = 2; n <= 4; ++n) WriteTiff(PagePath(n), TiffPage());
  tallow::IConvertor* writer = nullptr;
  ASSERT_NE(tallow::CreateConvertor(tallow::TRUE, writer, tallow::GetConvertorType(u"doc.tif")), nullptr);
  ASSERT_EQ(writer->Open(tallow::FromAnsi(Out()).c_str(), u"doc.tif"), tallow::S_OK);
  ASSERT_EQ(writer->SetWorkFolder(tallow::FromAnsi(Work()).c_str()), tallow::S_OK);
  ASSERT_EQ(writer->SetPageRange(2, 4), tallow::S_OK);
  EXPECT_EQ(writer->Convert(nullptr, kDocument), tallow::S_OK);
  ASSERT_EQ(writer->SetPageRange(2, 5), tallow::S_OK);  // page 5 is missing
  EXPECT_EQ(writer->Convert(nullptr, kDocument), tallow::E_FAIL);
  tallow::DeleteConvertor(writer);
  EXPECT_EQ(CountTiffDirectories(Tif()), 3);
}

}  // namespace
}  // namespace dumel
