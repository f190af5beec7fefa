// Page files come from the device and are untrusted. One input is one page
// file, handed to the PDF library both as a colour page (".jpg") and as a
// black-and-white page (".tif"). Whatever it holds, the conversion either
// writes a PDF that qpdf reads back with its one page, or fails and leaves
// nothing behind: neither a target nor a temporary file.
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "fuzz_files.h"
#include "pdf_encoder.h"

namespace {

namespace fs = std::filesystem;

const std::string& Folder() { return fuzz::ScratchFolder("pdfdumel"); }

// Nothing but the page files may lie in the folder after a conversion.
void CheckNothingLeft(const std::string& keep1, const std::string& keep2) {
  for (const auto& entry : fs::directory_iterator(Folder())) {
    const std::string path = entry.path().string();
    if (path != keep1 && path != keep2) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string jpg = Folder() + "/00000001_1.jpg";
  const std::string tif = Folder() + "/00000001_1.tif";
  const std::string out = Folder() + "/out.pdf";
  fuzz::WriteFile(jpg, data, size);
  fuzz::WriteFile(tif, data, size);
  // Small bounds keep each run short; the checks are the same at any size.
  dumel::PageLimits limits;
  limits.maxFileBytes = 1u << 20;
  limits.maxPixels = 1u << 22;
  limits.maxSide = 1u << 14;
  limits.maxSingleAlloc = 32 << 20;
  // With and without the device's page information.
  CodecPageInfo pages[2] = {{0, 0, 0, 0}, {0, 0, (size & 1) ? 300 : 0, (size & 2) ? 200 : 0}};
  for (int flag : {CODEC_PDF_COLOR, CODEC_PDF_MONO}) {
    dumel::PdfRequest request;
    request.output = out;
    request.workFolder = Folder();
    request.pages = pages;
    request.documentId = 1;
    request.firstPage = 1;
    request.lastPage = 1;
    request.colorFlag = flag;
    std::string reason;
    if (dumel::EncodePdf(request, limits, reason)) {
      QPDF pdf;
      pdf.setSuppressWarnings(true);
      pdf.processFile(out.c_str());  // throws, and so stops the fuzzer, when unreadable
      if (QPDFPageDocumentHelper(pdf).getAllPages().size() != 1) __builtin_trap();
      if (pdf.anyWarnings()) __builtin_trap();
      fs::remove(out);
    }
    CheckNothingLeft(jpg, tif);
  }
  return 0;
}
