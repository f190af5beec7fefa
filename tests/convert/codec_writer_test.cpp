// The PDF and TIFF writers against recording stand-ins of their codec
// libraries, which lie in this test's program folder under the real names.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "contracts/codec_api.h"
#include "convert/pdf_tiff_convertors.h"
#include "platform/module.h"
#include "support/temp_dir.h"

namespace tallow {
namespace {

// The record the stand-ins keep (fake_codec.c).
struct FakeCodecCall {
  std::int32_t calls;
  char16_t output[512];
  char16_t work[512];
  const CodecPageInfo* pages;
  CodecPageInfo entries[16];
  std::uint32_t documentId;
  std::int32_t first;
  std::int32_t last;
  std::int32_t colorFlag;
};

// The stand-in's own module, the one the writer loads too.
class FakeCodec {
 public:
  explicit FakeCodec(const char* file) {
    handle_ = ::dlopen((std::string(PROGRAM_DIR) + "/" + file).c_str(), RTLD_NOW);
    if (!handle_) return;
    record_ = reinterpret_cast<FakeCodecCall* (*)()>(::dlsym(handle_, "FakeCodecRecord"))();
    setResult_ = reinterpret_cast<void (*)(std::int32_t)>(::dlsym(handle_, "FakeCodecSetResult"));
    *record_ = FakeCodecCall{};
    setResult_(1);
  }
  ~FakeCodec() {
    if (handle_) ::dlclose(handle_);
  }
  bool Loaded() const { return record_ != nullptr; }
  const FakeCodecCall& Call() const { return *record_; }
  void SetResult(std::int32_t result) { setResult_(result); }

 private:
  void* handle_ = nullptr;
  FakeCodecCall* record_ = nullptr;
  void (*setResult_)(std::int32_t) = nullptr;
};

class CodecWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pdf_.Loaded());
    ASSERT_TRUE(tiff_.Loaded());
    std::filesystem::create_directory(dir_.File("save"));
  }
  WString Out() const { return FromAnsi(dir_.Path()); }
  WString Save() const { return FromAnsi(dir_.File("save")); }
  // Open, work folder, range: as the save flow drives a writer.
  void Prepare(IConvertor& writer, const char16_t* name, int first, int last) {
    ASSERT_EQ(writer.Open(Out().c_str(), name), S_OK);
    ASSERT_EQ(writer.SetWorkFolder(Save().c_str()), S_OK);
    ASSERT_EQ(writer.SetPageRange(first, last), S_OK);
  }

  test::TempDir dir_;
  FakeCodec pdf_{"pdfdumel.so"};
  FakeCodec tiff_{"tiffdumel.so"};
};

TEST_F(CodecWriter, PdfWritersPassTheirColourFlag) {
  ImageInfo pages[2] = {};
  CColorPdfConvertor color;
  Prepare(color, u"c.pdf", 1, 1);
  ASSERT_EQ(color.Convert(pages, 7), S_OK);
  EXPECT_EQ(pdf_.Call().colorFlag, CODEC_PDF_COLOR);
  CMonoPdfConvertor mono;
  Prepare(mono, u"m.pdf", 1, 1);
  ASSERT_EQ(mono.Convert(pages, 7), S_OK);
  EXPECT_EQ(pdf_.Call().colorFlag, CODEC_PDF_MONO);
  EXPECT_EQ(pdf_.Call().calls, 2);
}

TEST_F(CodecWriter, PdfGetsTheRangeAndTheEntriesByPageNumber) {
  std::vector<ImageInfo> pages(6);  // last + 1 entries
  for (int n = 3; n <= 5; ++n) pages[n] = ImageInfo{2480 + n, 3508 + n, 300, 200 + n};
  CMonoPdfConvertor writer;
  Prepare(writer, u"doc.pdf", 3, 5);
  ASSERT_EQ(writer.Convert(pages.data(), 0x1A2B), S_OK);
  const FakeCodecCall& call = pdf_.Call();
  EXPECT_EQ(call.first, 3);
  EXPECT_EQ(call.last, 5);
  EXPECT_EQ(call.documentId, 0x1A2Bu);
  EXPECT_EQ(WString(call.output), Out() + u"/doc.pdf");
  EXPECT_EQ(WString(call.work), Save());
  EXPECT_EQ(static_cast<const void*>(call.pages), static_cast<const void*>(pages.data()));
  for (int n = 3; n <= 5; ++n) {
    EXPECT_EQ(call.entries[n].XPIXEL, 2480 + n);
    EXPECT_EQ(call.entries[n].YPIXEL, 3508 + n);
    EXPECT_EQ(call.entries[n].XRESOLUTION, 300);
    EXPECT_EQ(call.entries[n].YRESOLUTION, 200 + n);
  }
  // Convert leaves the writer as it was.
  EXPECT_EQ(writer.m_outputPaths, WStringList{Out() + u"/doc.pdf"});
  EXPECT_EQ(writer.m_workFolder, Save());
}

TEST_F(CodecWriter, LibraryResultsBecomeHresults) {
  ImageInfo pages[2] = {};
  CColorPdfConvertor pdf;
  Prepare(pdf, u"c.pdf", 1, 1);
  for (auto [result, expected] : {std::pair{-1, E_FAIL}, {0, S_OK}, {5, S_OK}}) {
    pdf_.SetResult(result);
    EXPECT_EQ(pdf.Convert(pages, 1), expected) << result;
  }
  CTiffConvertor tiff;
  Prepare(tiff, u"t.tif", 2, 4);
  for (auto [result, expected] : {std::pair{0, E_FAIL}, {1, S_OK}, {-1, S_OK}}) {
    tiff_.SetResult(result);
    EXPECT_EQ(tiff.Convert(nullptr, 9), expected) << result;
  }
  // Without page entries too.
  EXPECT_EQ(tiff_.Call().calls, 3);
  EXPECT_EQ(tiff_.Call().first, 2);
  EXPECT_EQ(tiff_.Call().last, 4);
  EXPECT_EQ(tiff_.Call().documentId, 9u);
  EXPECT_EQ(WString(tiff_.Call().output), Out() + u"/t.tif");
  EXPECT_EQ(WString(tiff_.Call().work), Save());
}

TEST_F(CodecWriter, ConvertBeforeOpenFailsWithoutCallingTheLibrary) {
  ImageInfo pages[2] = {};
  CColorPdfConvertor pdf;
  EXPECT_EQ(pdf.Convert(pages, 1), E_FAIL);
  EXPECT_EQ(pdf.Convert(nullptr, 1), E_POINTER);
  CTiffConvertor tiff;
  EXPECT_EQ(tiff.Convert(nullptr, 1), E_FAIL);
  // Opened, the PDF writer still wants its page entries.
  Prepare(pdf, u"c.pdf", 1, 1);
  EXPECT_EQ(pdf.Convert(nullptr, 1), E_POINTER);
  EXPECT_EQ(pdf_.Call().calls, 0);
  EXPECT_EQ(tiff_.Call().calls, 0);
  // The base of the PDF writers converts nothing itself.
  IPdfConvertor base;
  Prepare(base, u"b.pdf", 1, 1);
  EXPECT_EQ(base.Convert(pages, 1), E_NOTIMPL);
}

TEST_F(CodecWriter, LibraryIsLoadedOnlyBetweenOpenAndReset) {
  CTiffConvertor writer;
  EXPECT_FALSE(writer.IsCodecLoaded());
  Prepare(writer, u"t.tif", 1, 2);
  EXPECT_TRUE(writer.IsCodecLoaded());
  writer.Reset();
  EXPECT_FALSE(writer.IsCodecLoaded());
  EXPECT_TRUE(writer.m_outputPaths.empty());
  EXPECT_EQ(writer.m_lastPage, 0);
  ASSERT_EQ(writer.Open(Out().c_str(), u"t.tif"), S_OK);
  EXPECT_EQ(writer.Open(FromAnsi(dir_.File("missing")).c_str(), u"t.tif"), E_FAIL);
  EXPECT_FALSE(writer.IsCodecLoaded());
  EXPECT_TRUE(writer.m_outputPaths.empty());
}

TEST_F(CodecWriter, MissingLibraryFailsOpenAndLeavesTheWriterEmpty) {
  // A program folder without the libraries; none lies on the search path.
  test::TempDir empty;
  const WString program = FromAnsi(empty.File("Tallowmere"));
  SetModuleFileNameSourceForTests([program](HMODULE) { return program; });
  CColorPdfConvertor pdf;
  CTiffConvertor tiff;
  const HRESULT pdfResult = pdf.Open(Out().c_str(), u"c.pdf");
  const HRESULT tiffResult = tiff.Open(Out().c_str(), u"t.tif");
  SetModuleFileNameSourceForTests({});
  EXPECT_TRUE(FAILED(pdfResult));
  EXPECT_TRUE(FAILED(tiffResult));
  EXPECT_TRUE(pdf.m_outputPaths.empty());
  EXPECT_TRUE(tiff.m_outputPaths.empty());
  EXPECT_FALSE(pdf.IsCodecLoaded());
  EXPECT_FALSE(tiff.IsCodecLoaded());
}

}  // namespace
}  // namespace tallow
