#include "pdf_encoder.h"

#include <unistd.h>

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <vector>

#include "codec_files.h"
#include "jpeg_header.h"
#include "tiff_page.h"

namespace dumel {

namespace {

// Larger pages than this cannot be shown by common readers (200 inches).
constexpr double kLargestSide = 14400;
constexpr double kSmallestSide = 1;

struct PlannedPage {
  int number = 0;
  bool jpeg = false;
  std::string path;
  std::uint64_t fileBytes = 0;  // JPEG: the whole file goes in
  JpegHeader jpegHeader;
  TiffPagePlan tiff;
  double widthPoints = 0;
  double heightPoints = 0;
};

// A page's size in points: pixels over dots per inch, each from the device's
// page information where it gives a value, else from the file. A side whose
// resolution is known from neither takes the other side's; a page with none
// at all fails rather than being guessed.
bool PageSize(const CodecPageInfo* info, std::uint32_t fileWidth, std::uint32_t fileHeight,
              double fileXDpi, double fileYDpi, PlannedPage& page, std::string& reason) {
  const double xPixels = info && info->XPIXEL > 0 ? info->XPIXEL : fileWidth;
  const double yPixels = info && info->YPIXEL > 0 ? info->YPIXEL : fileHeight;
  double xDpi = info && info->XRESOLUTION > 0 ? info->XRESOLUTION : fileXDpi;
  double yDpi = info && info->YRESOLUTION > 0 ? info->YRESOLUTION : fileYDpi;
  if (!(xDpi > 0)) xDpi = yDpi;
  if (!(yDpi > 0)) yDpi = xDpi;
  if (!(xDpi > 0) || !(yDpi > 0)) {
    reason = "resolution unknown";
    return false;
  }
  page.widthPoints = xPixels / xDpi * 72.0;
  page.heightPoints = yPixels / yDpi * 72.0;
  if (!std::isfinite(page.widthPoints) || !std::isfinite(page.heightPoints) ||
      page.widthPoints < kSmallestSide || page.heightPoints < kSmallestSide ||
      page.widthPoints > kLargestSide || page.heightPoints > kLargestSide) {
    reason = "page size out of range";
    return false;
  }
  return true;
}

bool PlanPage(const PdfRequest& request, const PageLimits& limits, int number, PlannedPage& page,
              std::string& reason) {
  const char* extension = request.colorFlag == CODEC_PDF_MONO ? "tif" : "jpg";
  page.number = number;
  page.path = PageFilePath(request.workFolder, request.documentId, number, extension);
  InputFile file;
  if (!file.Open(page.path)) {
    reason = "page file missing";
    return false;
  }
  if (file.Size() > limits.maxFileBytes) {
    reason = "page file too large";
    return false;
  }
  std::uint8_t magic[2] = {};
  if (!file.ReadAt(0, magic, 2)) {
    reason = "page file empty";
    return false;
  }
  // The content decides, not the name.
  page.jpeg = magic[0] == 0xFF && magic[1] == 0xD8;
  const CodecPageInfo* info = request.pages ? &request.pages[number] : nullptr;
  if (page.jpeg) {
    if (!ReadJpegHeader(file, page.jpegHeader, reason)) return false;
    const JpegHeader& h = page.jpegHeader;
    if (std::uint64_t{h.width} * h.height > limits.maxPixels) {
      reason = "image too large";
      return false;
    }
    page.fileBytes = file.Size();
    return PageSize(info, h.width, h.height, h.xDensity, h.yDensity, page, reason);
  }
  if (!PlanTiffPage(page.path, limits, page.tiff, reason)) return false;
  return PageSize(info, page.tiff.width, page.tiff.height, page.tiff.xDpi, page.tiff.yDpi, page,
                  reason);
}

// Hands a pipeline's writes to the ByteSink form the TIFF reader speaks.
ByteSink SinkTo(Pipeline* pipeline) {
  return [pipeline](const std::uint8_t* data, std::size_t size) {
    pipeline->write(data, size);
  };
}

// Reads the page file when the writer asks for the stream's data, so that
// no page is held in memory before or after it is written. The writer
// collects each stream before writing it; handing it the whole file in one
// piece, from one buffer kept for the whole document, spares it growing its
// own copy step by step.
class PageData : public QPDFObjectHandle::StreamDataProvider {
 public:
  PageData(PlannedPage page, const PageLimits& limits, std::shared_ptr<std::vector<unsigned char>> buffer)
      : page_(std::move(page)), limits_(limits), buffer_(std::move(buffer)) {}

  void provideStreamData(QPDFObjGen const&, Pipeline* pipeline) override {
    try {
      if (page_.jpeg) {
        WholeFile(pipeline);
      } else {
        WriteTiffPageData(page_.path, page_.tiff, limits_, SinkTo(pipeline));
      }
    } catch (const std::runtime_error& e) {
      throw std::runtime_error("page " + std::to_string(page_.number) + ": " + e.what());
    }
    pipeline->finish();
  }

 private:
  void WholeFile(Pipeline* pipeline) {
    InputFile file;
    if (!file.Open(page_.path) || file.Size() != page_.fileBytes) {
      throw std::runtime_error("page file changed");
    }
    const auto size = static_cast<std::size_t>(page_.fileBytes);
    if (buffer_->size() < size) buffer_->resize(size);
    if (!file.ReadAt(0, buffer_->data(), size)) throw std::runtime_error("page file cut short");
    pipeline->write(buffer_->data(), size);
  }

  PlannedPage page_;
  PageLimits limits_;
  std::shared_ptr<std::vector<unsigned char>> buffer_;
};

QPDFObjectHandle Integer(long long value) { return QPDFObjectHandle::newInteger(value); }
QPDFObjectHandle Name(const char* name) { return QPDFObjectHandle::newName(name); }

QPDFObjectHandle DecodeRange(int components, bool inverted) {
  auto range = QPDFObjectHandle::newArray();
  for (int i = 0; i < components; ++i) {
    range.appendItem(Integer(inverted ? 1 : 0));
    range.appendItem(Integer(inverted ? 0 : 1));
  }
  return range;
}

QPDFObjectHandle ImageObject(QPDF& pdf, const PlannedPage& page, const PageLimits& limits,
                             const std::shared_ptr<std::vector<unsigned char>>& buffer) {
  auto image = QPDFObjectHandle::newStream(&pdf);
  auto dict = QPDFObjectHandle::newDictionary();
  dict.replaceKey("/Type", Name("/XObject"));
  dict.replaceKey("/Subtype", Name("/Image"));
  QPDFObjectHandle filter = QPDFObjectHandle::newNull();
  QPDFObjectHandle parameters = QPDFObjectHandle::newNull();
  if (page.jpeg) {
    const JpegHeader& h = page.jpegHeader;
    dict.replaceKey("/Width", Integer(h.width));
    dict.replaceKey("/Height", Integer(h.height));
    dict.replaceKey("/BitsPerComponent", Integer(8));
    dict.replaceKey("/ColorSpace", Name(h.components == 1   ? "/DeviceGray"
                                        : h.components == 3 ? "/DeviceRGB"
                                                            : "/DeviceCMYK"));
    // Adobe's CMYK JPEG files store the inks inverted.
    if (h.components == 4 && h.adobe) dict.replaceKey("/Decode", DecodeRange(4, true));
    filter = Name("/DCTDecode");
    // Only where the markers disagree with the filter's default.
    const bool transform = JpegUsesColorTransform(h);
    const bool defaultTransform = h.components == 3;
    if (h.components > 1 && transform != defaultTransform) {
      parameters = QPDFObjectHandle::newDictionary();
      parameters.replaceKey("/ColorTransform", Integer(transform ? 1 : 0));
    }
  } else {
    const TiffPagePlan& t = page.tiff;
    dict.replaceKey("/Width", Integer(t.width));
    dict.replaceKey("/Height", Integer(t.height));
    if (t.kind == TiffPageKind::kCcittAsIs || t.kind == TiffPageKind::kCcittAgain) {
      dict.replaceKey("/BitsPerComponent", Integer(1));
      dict.replaceKey("/ColorSpace", Name("/DeviceGray"));
      filter = Name("/CCITTFaxDecode");
      parameters = QPDFObjectHandle::newDictionary();
      parameters.replaceKey("/K", Integer(t.kind == TiffPageKind::kCcittAgain ? -1 : t.k));
      parameters.replaceKey("/Columns", Integer(t.width));
      parameters.replaceKey("/Rows", Integer(t.height));
      parameters.replaceKey("/BlackIs1", QPDFObjectHandle::newBool(t.blackIs1));
    } else {
      // Samples go in unfiltered; the writer compresses them losslessly.
      dict.replaceKey("/BitsPerComponent", Integer(8));
      dict.replaceKey("/ColorSpace", Name(t.components == 1 ? "/DeviceGray" : "/DeviceRGB"));
      if (t.invertGray) dict.replaceKey("/Decode", DecodeRange(1, true));
    }
  }
  image.replaceDict(dict);
  image.replaceStreamData(std::make_shared<PageData>(page, limits, buffer), filter, parameters);
  return image;
}

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f", value);
  return text;
}

void AddPage(QPDF& pdf, QPDFPageDocumentHelper& pages, const PlannedPage& planned,
             const PageLimits& limits, const std::shared_ptr<std::vector<unsigned char>>& buffer) {
  const std::string w = Number(planned.widthPoints);
  const std::string h = Number(planned.heightPoints);
  auto content = QPDFObjectHandle::newStream(&pdf, "q " + w + " 0 0 " + h + " 0 0 cm /Im0 Do Q\n");
  auto xobjects = QPDFObjectHandle::newDictionary();
  xobjects.replaceKey("/Im0", ImageObject(pdf, planned, limits, buffer));
  auto resources = QPDFObjectHandle::newDictionary();
  resources.replaceKey("/XObject", xobjects);
  auto box = QPDFObjectHandle::newArray();
  box.appendItem(Integer(0));
  box.appendItem(Integer(0));
  box.appendItem(QPDFObjectHandle::newReal(planned.widthPoints, 4));
  box.appendItem(QPDFObjectHandle::newReal(planned.heightPoints, 4));
  auto page = QPDFObjectHandle::newDictionary();
  page.replaceKey("/Type", Name("/Page"));
  page.replaceKey("/MediaBox", box);
  page.replaceKey("/Resources", resources);
  page.replaceKey("/Contents", content);
  pages.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
}

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file) std::fclose(file);
  }
};

bool Write(QPDF& pdf, const std::string& target, std::string& reason) {
  OutputFile output(target);
  if (!output.Create()) {
    reason = "output cannot be created";
    return false;
  }
  const int fd = output.TakeDescriptor();
  std::unique_ptr<std::FILE, FileCloser> file(::fdopen(fd, "wb"));
  if (!file) {
    ::close(fd);
    reason = "output cannot be created";
    return false;
  }
  std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 20);
  QPDFWriter writer(pdf);
  writer.setOutputFile(output.TemporaryPath().c_str(), file.get(), false);
  // Nothing is decoded: JPEG and CCITT data go out as they came in.
  writer.setDecodeLevel(qpdf_dl_none);
  writer.setCompressStreams(true);
  writer.write();
  const bool flushed = std::fflush(file.get()) == 0 && !std::ferror(file.get());
  const bool closed = std::fclose(file.release()) == 0;
  if (!flushed || !closed || !output.Commit()) {
    reason = "output cannot be written";
    return false;
  }
  return true;
}

}  // namespace

bool EncodePdf(const PdfRequest& request, const PageLimits& limits, std::string& reason) {
  if (!CheckPageRequest(request.output, request.workFolder, request.firstPage, request.lastPage,
                        limits, reason)) {
    return false;
  }
  if (request.colorFlag != CODEC_PDF_COLOR && request.colorFlag != CODEC_PDF_MONO) {
    reason = "bad colour flag";
    return false;
  }
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.emptyPDF();
    QPDFPageDocumentHelper pages(pdf);
    auto buffer = std::make_shared<std::vector<unsigned char>>();
    // Every page is looked at before anything is written, so that a bad page
    // fails the document at once.
    for (std::int64_t n = request.firstPage; n <= request.lastPage; ++n) {
      PlannedPage planned;
      if (!PlanPage(request, limits, static_cast<int>(n), planned, reason)) {
        reason = "page " + std::to_string(n) + ": " + reason;
        return false;
      }
      AddPage(pdf, pages, planned, limits, buffer);
    }
    return Write(pdf, request.output, reason);
  } catch (const std::exception& e) {
    reason = e.what();
    return false;
  } catch (...) {
    reason = "unknown failure";
    return false;
  }
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
