/* A PDF library for the save tests, put in the program's folder in place of
 * the real one: PDF_Encode keeps the page entries it was given, hands the
 * call to the test's hook (which acts on the window while the conversion
 * runs), then writes a small file under the output path. The test reaches
 * the hook and the entries through the same module. */
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

EXPORT void HookedCodecSetHook(ConvertHook hook, void* context) {
  g_hook = hook;
  g_context = context;
}

/* Entries 0 to KEPT_ENTRIES - 1 of the last call's array. */
EXPORT const CodecPageInfo* HookedCodecEntries(void) { return g_entries; }

EXPORT int32_t PDF_Encode(char16_t* outputPath, const CodecPageInfo* pages, uint32_t documentId,
                          int32_t firstPage, int32_t lastPage, int32_t colorFlag,
                          char16_t* workFolder) {
  (void)documentId;
  (void)firstPage;
  (void)colorFlag;
  (void)workFolder;
  memset(g_entries, 0, sizeof g_entries);
  for (int32_t n = 0; pages && n <= lastPage && n < KEPT_ENTRIES; ++n) g_entries[n] = pages[n];
  if (g_hook) g_hook(g_context);
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
