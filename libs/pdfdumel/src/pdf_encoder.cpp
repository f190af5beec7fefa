#include "pdf_encoder.h"

#include <unistd.h>

#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_Flate.hh>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "codec_files.h"
#include "jpeg_header.h"
#include "tiff_page.h"

namespace dumel {

namespace {

// Larger pages than this cannot be shown by common readers (200 inches).
constexpr double kLargestSide = 14400;
constexpr double kSmallestSide = 1;

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

// The document's bytes on their way out: small pieces gather in a buffer,
// page data goes straight through. Remembers where each object begins.
// The buffer grows as it fills, so that a small document costs no more.
class PdfOutput {
 public:
  explicit PdfOutput(ByteOutput& out) : out_(out) {}

  std::uint64_t Position() const { return written_ + buffer_.size(); }

  void Text(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kBuffer) Flush();
  }

  void Data(const std::uint8_t* data, std::size_t size) {
    if (size < kDirect) {
      Text(std::string_view(reinterpret_cast<const char*>(data), size));
      return;
    }
    Flush();
    if (!out_.Write(data, size)) Fail("output cannot be written");
    written_ += size;
  }

  std::uint32_t NewObject() {
    offsets_.push_back(0);
    return static_cast<std::uint32_t>(offsets_.size() - 1);
  }

  void BeginObject(std::uint32_t number) {
    offsets_.at(number) = Position();
    Text(std::to_string(number) + " 0 obj\n");
  }

  // Cross-reference table, trailer, and the last bytes out.
  void Finish(std::uint32_t catalog) {
    const std::uint64_t xref = Position();
    Text("xref\n0 " + std::to_string(offsets_.size()) + "\n0000000000 65535 f \n");
    char entry[32];
    for (std::size_t i = 1; i < offsets_.size(); ++i) {
      std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(offsets_[i]));
      Text(entry);
    }
    Text("trailer\n<< /Size " + std::to_string(offsets_.size()) + " /Root " + std::to_string(catalog) +
         " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
    Flush();
  }

 private:
  static constexpr std::size_t kBuffer = 64 * 1024;
  static constexpr std::size_t kDirect = 16 * 1024;

  void Flush() {
    if (buffer_.empty()) return;
    if (!out_.Write(buffer_.data(), buffer_.size())) Fail("output cannot be written");
    written_ += buffer_.size();
    buffer_.clear();
  }

  ByteOutput& out_;
  std::string buffer_;
  std::uint64_t written_ = 0;
  std::vector<std::uint64_t> offsets_{0};  // object 0 is the head of the free list
};

// Counts what passes on its way into the document.
class CountingPipeline : public Pipeline {
 public:
  explicit CountingPipeline(PdfOutput& out) : Pipeline("page data", nullptr), out_(out) {}
  void write(unsigned char const* data, size_t size) override {
    out_.Data(data, size);
    count += size;
  }
  void finish() override {}
  std::uint64_t count = 0;

 private:
  PdfOutput& out_;
};

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f", value);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

std::string Ref(std::uint32_t number) { return std::to_string(number) + " 0 R"; }

std::string DecodeRange(int components, bool inverted) {
  std::string range = "[";
  for (int i = 0; i < components; ++i) range += inverted ? "1 0 " : "0 1 ";
  range.back() = ']';
  return range;
}

// A page once its image is written: what its page object needs.
struct WrittenPage {
  std::uint32_t image = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  double xDpi = 0;  // 0 until known
  double yDpi = 0;
};

// Resolution from the device's entry where it gives one, else from the
// file; a side known from neither takes the other side's.
void Resolution(const CodecPageInfo* info, double fileXDpi, double fileYDpi, WrittenPage& page) {
  page.xDpi = info && info->XRESOLUTION > 0 ? info->XRESOLUTION : fileXDpi;
  page.yDpi = info && info->YRESOLUTION > 0 ? info->YRESOLUTION : fileYDpi;
  if (!(page.xDpi > 0)) page.xDpi = page.yDpi;
  if (!(page.yDpi > 0)) page.yDpi = page.xDpi;
  if (!std::isfinite(page.xDpi) || !std::isfinite(page.yDpi) || !(page.xDpi > 0) || !(page.yDpi > 0)) {
    page.xDpi = page.yDpi = 0;
  }
}

// The image object. Its data goes out as it is produced; a length not known
// beforehand follows the data as an object of its own.
class ImageWriter {
 public:
  static constexpr std::int64_t kUnknown = -1;

  ImageWriter(PdfOutput& out, const std::string& dictionary, std::int64_t length) : out_(out) {
    image_ = out.NewObject();
    std::string lengthText;
    if (length == kUnknown) {
      lengthObject_ = out.NewObject();
      lengthText = Ref(lengthObject_);
    } else {
      lengthText = std::to_string(length);
    }
    out.BeginObject(image_);
    out.Text("<< /Type /XObject /Subtype /Image " + dictionary + " /Length " + lengthText + " >>\nstream\n");
    start_ = out.Position();
  }
  std::uint32_t Finish() {
    const std::uint64_t length = out_.Position() - start_;
    out_.Text("\nendstream\nendobj\n");
    if (lengthObject_ != 0) {
      out_.BeginObject(lengthObject_);
      out_.Text(std::to_string(length) + "\nendobj\n");
    }
    return image_;
  }

 private:
  PdfOutput& out_;
  std::uint32_t image_ = 0;
  std::uint32_t lengthObject_ = 0;
  std::uint64_t start_ = 0;
};

// The page writers return false, with a reason, for a page that cannot go
// in (most damaged pages are found so, before anything is written), and
// throw when the output cannot be written or the page fails to decode.
bool WriteJpegPage(PdfOutput& out, PageWindow& window, const PageLimits& limits, WrittenPage& page,
                   double& fileXDpi, double& fileYDpi, std::string& reason) {
  JpegHeader h;
  if (!ReadJpegHeader(window, h, reason)) return false;
  if (std::uint64_t{h.width} * h.height > limits.maxPixels) {
    reason = "image too large";
    return false;
  }
  std::string dict = "/Width " + std::to_string(h.width) + " /Height " + std::to_string(h.height) +
                     " /BitsPerComponent 8 /ColorSpace " +
                     (h.components == 1 ? "/DeviceGray" : h.components == 3 ? "/DeviceRGB" : "/DeviceCMYK");
  // Adobe's CMYK JPEG files store the inks inverted.
  if (h.components == 4 && h.adobe) dict += " /Decode " + DecodeRange(4, true);
  dict += " /Filter /DCTDecode";
  // Only where the markers disagree with the filter's default.
  const bool transform = JpegUsesColorTransform(h);
  if (h.components > 1 && transform != (h.components == 3)) {
    dict += std::string(" /DecodeParms << /ColorTransform ") + (transform ? "1" : "0") + " >>";
  }
  // A page that the window holds whole is measured up to its end marker
  // first, at no cost of reading, so that its length goes in directly.
  std::int64_t length = ImageWriter::kUnknown;
  if (window.Size() <= PageWindow::kSize) {
    std::uint64_t measured = 0;
    const bool ended = CopyJpegImage(
        window, h,
        [&measured](const std::uint8_t*, std::size_t size) {
          measured += size;
          return true;
        },
        reason);
    if (!ended) return false;
    length = static_cast<std::int64_t>(measured);
  }
  ImageWriter image(out, dict, length);
  const bool copied = CopyJpegImage(
      window, h,
      [&out](const std::uint8_t* data, std::size_t size) {
        out.Data(data, size);
        return true;
      },
      reason);
  if (!copied) return false;
  page.image = image.Finish();
  page.width = h.width;
  page.height = h.height;
  fileXDpi = h.xDensity;
  fileYDpi = h.yDensity;
  return true;
}

bool WriteTiffPage(PdfOutput& out, const PageReader& reader, const PageLimits& limits,
                   std::vector<std::uint8_t>& scratch, WrittenPage& page, double& fileXDpi, double& fileYDpi,
                   std::string& reason) {
  TiffInput input;
  TiffPagePlan t;
  if (!PlanTiffPage(reader, limits, input, t, reason)) return false;
  std::string dict = "/Width " + std::to_string(t.width) + " /Height " + std::to_string(t.height);
  const bool ccitt = t.kind == TiffPageKind::kCcittAsIs || t.kind == TiffPageKind::kCcittAgain;
  if (ccitt) {
    dict += " /BitsPerComponent 1 /ColorSpace /DeviceGray /Filter /CCITTFaxDecode /DecodeParms << /K " +
            std::to_string(t.kind == TiffPageKind::kCcittAgain ? -1 : t.k) + " /Columns " +
            std::to_string(t.width) + " /Rows " + std::to_string(t.height) + " /BlackIs1 " +
            (t.blackIs1 ? "true" : "false") + " >>";
  } else {
    // Samples go in compressed losslessly.
    dict += std::string(" /BitsPerComponent 8 /ColorSpace ") + (t.components == 1 ? "/DeviceGray" : "/DeviceRGB");
    if (t.invertGray) dict += " /Decode " + DecodeRange(1, true);
    dict += " /Filter /FlateDecode";
  }
  // A strip that goes in as it is has its length in the file.
  ImageWriter image(out, dict,
                    t.kind == TiffPageKind::kCcittAsIs ? static_cast<std::int64_t>(t.stripBytes) : ImageWriter::kUnknown);
  CountingPipeline counted(out);
  if (ccitt) {
    WriteTiffPageData(reader, input, t, limits, scratch,
                      [&counted](const std::uint8_t* data, std::size_t size) { counted.write(data, size); });
  } else {
    Pl_Flate flate("page samples", &counted, Pl_Flate::a_deflate);
    WriteTiffPageData(reader, input, t, limits, scratch,
                      [&flate](const std::uint8_t* data, std::size_t size) { flate.write(data, size); });
    flate.finish();
  }
  page.image = image.Finish();
  page.width = t.width;
  page.height = t.height;
  fileXDpi = t.xDpi;
  fileYDpi = t.yDpi;
  return true;
}

// Buffers for every page's bytes and for data on its way, kept for the
// whole document.
struct PageBuffers {
  std::vector<std::uint8_t> window;
  std::vector<std::uint8_t> scratch;
};

// Page |number| of |source| as an image object, its size and resolution in
// |page|. |info| is the device's entry for the page, if any.
bool WritePage(PdfOutput& out, PageSource& source, int number, const CodecPageInfo* info,
               const PageLimits& limits, PageBuffers& buffers, WrittenPage& page, std::string& reason) {
  const PageReader* reader = source.Open(number, reason);
  if (!reader) return false;
  if (reader->Size() > limits.maxFileBytes) {
    reason = "page file too large";
    return false;
  }
  PageWindow window(*reader, buffers.window);
  const std::uint8_t* magic = nullptr;
  if (!window.Span(0, 2, &magic)) {
    reason = "page file empty";
    return false;
  }
  double fileXDpi = 0, fileYDpi = 0;
  // The content decides, not the name.
  if (magic[0] == 0xFF && magic[1] == 0xD8) {
    if (!WriteJpegPage(out, window, limits, page, fileXDpi, fileYDpi, reason)) return false;
  } else {
    // A page that the window holds whole is read from there.
    const std::uint8_t* bytes = nullptr;
    const bool whole = reader->Size() <= PageWindow::kSize &&
                       window.Span(0, static_cast<std::size_t>(reader->Size()), &bytes);
    const MemoryReader inMemory(std::string_view(reinterpret_cast<const char*>(bytes),
                                                 whole ? static_cast<std::size_t>(reader->Size()) : 0));
    if (!WriteTiffPage(out, whole ? inMemory : *reader, limits, buffers.scratch, page, fileXDpi, fileYDpi,
                       reason)) {
      return false;
    }
  }
  Resolution(info, fileXDpi, fileYDpi, page);
  return true;
}

// Pages that nothing describes take the resolution of the nearest page that
// something does, an earlier one first; without any, the default.
void FillUnknownResolutions(std::vector<WrittenPage>& pages) {
  const WrittenPage* known = nullptr;
  for (const WrittenPage& p : pages) {
    if (p.xDpi > 0) {
      known = &p;
      break;
    }
  }
  double x = known ? known->xDpi : kDefaultDpi;
  double y = known ? known->yDpi : kDefaultDpi;
  for (WrittenPage& p : pages) {
    if (p.xDpi > 0) {
      x = p.xDpi;
      y = p.yDpi;
    } else {
      p.xDpi = x;
      p.yDpi = y;
    }
  }
}

void WritePageObjects(PdfOutput& out, const std::vector<WrittenPage>& pages, std::uint32_t firstPageNumber,
                      std::uint32_t pagesObject, std::vector<std::uint32_t>& kids) {
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const WrittenPage& p = pages[i];
    const double w = p.width / p.xDpi * 72.0;
    const double h = p.height / p.yDpi * 72.0;
    if (!std::isfinite(w) || !std::isfinite(h) || w < kSmallestSide || h < kSmallestSide || w > kLargestSide ||
        h > kLargestSide) {
      Fail("page " + std::to_string(firstPageNumber + i) + ": page size out of range");
    }
    const std::string width = Number(w), height = Number(h);
    const std::string drawing = "q " + width + " 0 0 " + height + " 0 0 cm /Im0 Do Q\n";
    const std::uint32_t content = out.NewObject();
    out.BeginObject(content);
    out.Text("<< /Length " + std::to_string(drawing.size()) + " >>\nstream\n" + drawing + "endstream\nendobj\n");
    const std::uint32_t page = out.NewObject();
    out.BeginObject(page);
    out.Text("<< /Type /Page /Parent " + Ref(pagesObject) + " /MediaBox [0 0 " + width + " " + height +
             "] /Resources << /XObject << /Im0 " + Ref(p.image) + " >> >> /Contents " + Ref(content) +
             " >>\nendobj\n");
    kids.push_back(page);
  }
}

bool CheckColorFlag(const PdfRequest& request, std::string& reason) {
  if (request.colorFlag == CODEC_PDF_COLOR || request.colorFlag == CODEC_PDF_MONO) return true;
  reason = "bad colour flag";
  return false;
}

}  // namespace

bool WritePdf(const PdfRequest& request, PageSource& source, ByteOutput& byteOutput, const PageLimits& limits,
              std::string& reason) {
  if (!CheckPageRange(request.firstPage, request.lastPage, limits, reason) || !CheckColorFlag(request, reason)) {
    return false;
  }
  try {
    PdfOutput out(byteOutput);
    // The second line's bytes above 127 mark the file as binary.
    out.Text("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    const std::uint32_t catalog = out.NewObject();
    const std::uint32_t pagesObject = out.NewObject();
    std::vector<WrittenPage> written;
    written.reserve(static_cast<std::size_t>(request.lastPage - request.firstPage + 1));
    PageBuffers buffers;
    for (std::int64_t n = request.firstPage; n <= request.lastPage; ++n) {
      const int number = static_cast<int>(n);
      WrittenPage page;
      std::string why;
      bool ok = false;
      try {
        ok = WritePage(out, source, number, request.pages ? &request.pages[number] : nullptr, limits, buffers,
                       page, why);
      } catch (const std::runtime_error& e) {
        why = e.what();
      }
      if (!ok) {
        reason = "page " + std::to_string(n) + ": " + why;
        return false;
      }
      written.push_back(page);
    }
    FillUnknownResolutions(written);
    std::vector<std::uint32_t> kids;
    kids.reserve(written.size());
    WritePageObjects(out, written, static_cast<std::uint32_t>(request.firstPage), pagesObject, kids);
    out.BeginObject(pagesObject);
    out.Text("<< /Type /Pages /Kids [");
    for (std::uint32_t kid : kids) out.Text(Ref(kid) + " ");
    out.Text("] /Count " + std::to_string(kids.size()) + " >>\nendobj\n");
    out.BeginObject(catalog);
    out.Text("<< /Type /Catalog /Pages " + Ref(pagesObject) + " >>\nendobj\n");
    out.Finish(catalog);
    return true;
  } catch (const std::exception& e) {
    reason = e.what();
    return false;
  } catch (...) {
    reason = "unknown failure";
    return false;
  }
}

bool EncodePdf(const PdfRequest& request, const PageLimits& limits, std::string& reason) {
  if (!CheckPageRequest(request.output, request.workFolder, request.firstPage, request.lastPage, limits,
                        reason) ||
      !CheckColorFlag(request, reason)) {
    return false;
  }
  OutputFile output(request.output);
  if (!output.Create()) {
    reason = "output cannot be created";
    return false;
  }
  const int fd = output.TakeDescriptor();
  DescriptorOutput out(fd);
  PageFiles pages(request.workFolder, request.documentId, request.colorFlag == CODEC_PDF_MONO ? "tif" : "jpg");
  const bool written = WritePdf(request, pages, out, limits, reason);
  const bool closed = ::close(fd) == 0;
  if (!written) return false;
  if (!closed || !output.Commit()) {
    reason = "output cannot be written";
    return false;
  }
  return true;
}

}  // namespace dumel

extern "C" __attribute__((visibility("default"))) int32_t PDF_Encode(
    char16_t* outputPath, const CodecPageInfo* pages, uint32_t documentId, int32_t firstPage,
    int32_t lastPage, int32_t colorFlag, char16_t* workFolder) {
  // Nothing may leave the library as an exception.
  try {
    dumel::PdfRequest request;
    request.output = dumel::Utf8Path(outputPath);
    request.workFolder = dumel::Utf8Path(workFolder);
    request.pages = pages;
    request.documentId = documentId;
    request.firstPage = firstPage;
    request.lastPage = lastPage;
    request.colorFlag = colorFlag;
    std::string reason;
    return dumel::EncodePdf(request, dumel::PageLimits(), reason) ? 0 : -1;
  } catch (...) {
    return -1;
  }
}
