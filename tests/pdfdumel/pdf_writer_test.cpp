// The whole road of a PDF save: the system's writers loading the real PDF
// library from the program's folder (this test runs beside it).
#include <gtest/gtest.h>

#include <filesystem>

#include "convert/convertor.h"
#include "page_maker.h"
#include "pdf_tools.h"
#include "support/temp_dir.h"

namespace tallow {
namespace {

using namespace tallow::test;

TEST(PdfWriters, SaveColourAndBlackAndWhiteDocuments) {
  TempDir dir;
  const std::string save = dir.File("save");
  std::filesystem::create_directory(save);
  struct Case {
    BOOL mono;
    const char* extension;
    const char* encoding;
  };
  for (const Case& c : {Case{FALSE, "jpg", "jpeg"}, Case{TRUE, "tif", "ccitt"}}) {
    SCOPED_TRACE(c.extension);
    std::vector<ImageInfo> pages(4);
    for (int n = 2; n <= 3; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "/000000FF_%d.%s", n, c.extension);
      if (c.mono) WriteTiff(save + name, TiffPage());
      else WriteBytes(save + name, MakeJpeg(JpegPage()));
      pages[n] = ImageInfo{64, 48, 300, 300};
    }
    IConvertor* writer = nullptr;
    ASSERT_NE(CreateConvertor(c.mono, writer, GetConvertorType(u"doc.pdf")), nullptr);
    ASSERT_EQ(writer->Open(FromAnsi(dir.Path()).c_str(), u"doc.pdf"), S_OK);
    ASSERT_EQ(writer->SetWorkFolder(FromAnsi(save).c_str()), S_OK);
    ASSERT_EQ(writer->SetPageRange(2, 3), S_OK);
    EXPECT_EQ(writer->Convert(pages.data(), 0xFF), S_OK);
    DeleteConvertor(writer);
    const std::string pdf = dir.File("doc.pdf");
    EXPECT_TRUE(QpdfChecks(pdf));
    const auto images = ListImages(pdf);
    ASSERT_EQ(images.size(), 2u);
    for (const auto& image : images) EXPECT_EQ(image.encoding, c.encoding);
  }
}

TEST(PdfWriters, FailedConversionReportsFailure) {
  TempDir dir;
  std::vector<ImageInfo> pages(3);
  IConvertor* writer = nullptr;
  ASSERT_NE(CreateConvertor(FALSE, writer, kConvertorPdf), nullptr);
  ASSERT_EQ(writer->Open(FromAnsi(dir.Path()).c_str(), u"doc.pdf"), S_OK);
  ASSERT_EQ(writer->SetWorkFolder(FromAnsi(dir.Path()).c_str()), S_OK);
  ASSERT_EQ(writer->SetPageRange(1, 2), S_OK);
  EXPECT_EQ(writer->Convert(pages.data(), 1), E_FAIL);  // no page files
  DeleteConvertor(writer);
  EXPECT_FALSE(std::filesystem::exists(dir.File("doc.pdf")));
}

}  // namespace
}  // namespace tallow
