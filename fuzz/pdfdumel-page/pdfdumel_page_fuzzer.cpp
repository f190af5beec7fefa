// Page files come from the device and are untrusted. One input is one page
// file; its content decides how it goes in (the document's colour flag only
// names the page files, which pages in memory do not have). Whatever it
// holds, the conversion either writes a PDF that qpdf reads back, without a
// warning, with its one page, or fails.
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_files.h"
#include "pdf_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  // Small bounds keep each run short; the checks are the same at any size.
  dumel::PageLimits limits;
  limits.maxFileBytes = 1u << 20;
  limits.maxPixels = 1u << 22;
  limits.maxSide = 1u << 14;
  limits.maxSingleAlloc = 4 << 20;
  // With and without the device's page information.
  CodecPageInfo pages[2] = {{0, 0, 0, 0}, {0, 0, (size & 1) ? 300 : 0, (size & 2) ? 200 : 0}};
  dumel::PdfRequest request;
  request.pages = pages;
  request.documentId = 1;
  request.firstPage = 1;
  request.lastPage = 1;
  fuzz::MemoryPages source({std::string_view(reinterpret_cast<const char*>(data), size)});
  fuzz::MemoryOutput out;
  std::string reason;
  if (dumel::WritePdf(request, source, out, limits, reason)) {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    // Throws, and so stops the fuzzer, when unreadable.
    pdf.processMemoryFile("page", out.bytes.data(), out.bytes.size());
    if (QPDFPageDocumentHelper(pdf).getAllPages().size() != 1) __builtin_trap();
    if (pdf.anyWarnings()) __builtin_trap();
  }
  return 0;
}
