/* A PDF library for the save tests, put in the program's folder in place of
 * the real one: PDF_Encode keeps the page entries it was given, hands the
 * call to the test's hook (which acts on the window while the conversion
 * runs), writes into the work folder's buffer what the test asked for, then
 * writes a small file under the output path, or fails as the test asked.
 * The test reaches these settings and the entries through the same
 * module. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "contracts/codec_api.h"

#define EXPORT __attribute__((visibility("default")))
#define KEPT_ENTRIES 16

typedef void (*ConvertHook)(void* context);

static ConvertHook g_hook;
static void* g_context;
static CodecPageInfo g_entries[KEPT_ENTRIES];
static const char16_t* g_workFolder;
static int32_t g_failure;

EXPORT void HookedCodecSetHook(ConvertHook hook, void* context) {
  g_hook = hook;
  g_context = context;
}

/* A folder that PDF_Encode writes into the work folder's buffer, as far as
 * the buffer holds it; NULL leaves the buffer alone. */
EXPORT void HookedCodecSetWorkFolder(const char16_t* folder) { g_workFolder = folder; }

/* A negative result that PDF_Encode gives without writing anything; 0 lets
 * it write its file. */
EXPORT void HookedCodecSetFailure(int32_t result) { g_failure = result; }

/* Entries 0 to KEPT_ENTRIES - 1 of the last call's array. */
EXPORT const CodecPageInfo* HookedCodecEntries(void) { return g_entries; }

EXPORT int32_t PDF_Encode(char16_t* outputPath, const CodecPageInfo* pages, uint32_t documentId,
                          int32_t firstPage, int32_t lastPage, int32_t colorFlag,
                          char16_t* workFolder) {
  (void)documentId;
  (void)firstPage;
  (void)colorFlag;
  memset(g_entries, 0, sizeof g_entries);
  for (int32_t n = 0; pages && n <= lastPage && n < KEPT_ENTRIES; ++n) g_entries[n] = pages[n];
  if (g_hook) g_hook(g_context);
  if (g_workFolder) {
    size_t room = 0;
    while (workFolder[room]) ++room;
    size_t n = 0;
    for (; g_workFolder[n] && n < room; ++n) workFolder[n] = g_workFolder[n];
    workFolder[n] = 0;
  }
  if (g_failure < 0) return g_failure;
  char path[4096];
  size_t i = 0;
  for (; outputPath[i] && i + 1 < sizeof path; ++i) path[i] = (char)outputPath[i];
  path[i] = 0;
  FILE* file = fopen(path, "wb");
  if (!file) return -1;
  fputs("%PDF-1.4\n%%EOF\n", file);
  fclose(file);
  return 0;
}
