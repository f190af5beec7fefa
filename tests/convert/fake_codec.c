/* A codec library that records how it was called, built once as the PDF
 * library and once as the TIFF library, into the test's program folder. The
 * test reaches the record through the same module by FakeCodecRecord. */
#include <stdint.h>
#include <string.h>

#include "contracts/codec_api.h"

#define EXPORT __attribute__((visibility("default")))

typedef struct FakeCodecCall {
  int32_t calls;
  char16_t output[512];
  char16_t work[512];
  const CodecPageInfo* pages;
  CodecPageInfo entries[16]; /* pages[0..15] as they were during the call */
  uint32_t documentId;
  int32_t first;
  int32_t last;
  int32_t colorFlag;
} FakeCodecCall;

static FakeCodecCall g_call;
static int32_t g_result = 1;

EXPORT FakeCodecCall* FakeCodecRecord(void) { return &g_call; }
EXPORT void FakeCodecSetResult(int32_t result) { g_result = result; }

static void CopyText(char16_t* to, const char16_t* from) {
  size_t i = 0;
  if (from) {
    for (; i < 511 && from[i]; ++i) to[i] = from[i];
  }
  to[i] = 0;
}

static void Record(char16_t* output, const CodecPageInfo* pages, uint32_t id, int32_t first,
                   int32_t last, int32_t flag, char16_t* work) {
  ++g_call.calls;
  CopyText(g_call.output, output);
  CopyText(g_call.work, work);
  g_call.pages = pages;
  memset(g_call.entries, 0, sizeof g_call.entries);
  if (pages) {
    for (int32_t n = 0; n <= last && n < 16; ++n) g_call.entries[n] = pages[n];
  }
  g_call.documentId = id;
  g_call.first = first;
  g_call.last = last;
  g_call.colorFlag = flag;
}

#ifdef WITH_PDF
EXPORT int32_t PDF_Encode(char16_t* output, const CodecPageInfo* pages, uint32_t id, int32_t first,
                          int32_t last, int32_t flag, char16_t* work) {
  Record(output, pages, id, first, last, flag, work);
  return g_result;
}
#endif

#ifdef WITH_TIFF
EXPORT int32_t MultiTiffEncode(char16_t* output, uint32_t id, int32_t first, int32_t last,
                               char16_t* work) {
  Record(output, 0, id, first, last, -1, work);
  return g_result;
}
#endif
