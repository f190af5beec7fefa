/* One source for all test libraries: each build exports what its
 * definitions ask for, so a test can put together the library it needs. */
#include <stdint.h>
#include <string.h>

#include "contracts/xml_http_api.h"

#define EXPORT __attribute__((visibility("default")))

/* Something to export in every build, so that a library without any of the
 * wanted exports is still a valid library. */
EXPORT int32_t TestLibraryPresent(void) { return 1; }

#ifdef WITH_GET_HTTP_XML
static intptr_t Slot(void) { return 0; }

/* Fills every slot, so the caller can see that the whole table arrived,
 * then answers GET_HTTP_XML_RESULT. */
EXPORT int32_t GetHTTPXML(XmlHttpApi* table, uint32_t size) {
  if (!table || size < sizeof *table) return 0;
  XhReservedFn fn = Slot;
  for (int i = 0; i < XML_HTTP_API_SLOTS; ++i) {
    memcpy((char*)table + i * sizeof(void*), &fn, sizeof fn);
  }
  return GET_HTTP_XML_RESULT;
}
#endif

#ifdef WITH_DETECTED
EXPORT void* VKTGetDetectedMFPAddrW(void* owner, int32_t a, int32_t* count, int32_t b) {
  (void)owner, (void)a, (void)b;
  if (count) *count = 0;
  return 0;
}
#endif
#ifdef WITH_SPECIFY_PORT
EXPORT void* VKTGetDetectedMFPAddrSpecifyPortW(void* owner, int32_t a, int32_t* count, int32_t b,
                                               uint16_t port) {
  (void)owner, (void)a, (void)b, (void)port;
  if (count) *count = 0;
  return 0;
}
#endif
#ifdef WITH_FREE
EXPORT void VKTFreeMFPAddrW(void* block) { (void)block; }
#endif

#ifdef WITH_PDF
EXPORT int32_t PDF_Encode(void) { return 0; }
#endif
#ifdef WITH_TIFF
EXPORT int32_t MultiTiffEncode(void) { return 0; }
#endif
#ifdef WITH_STI
EXPORT int32_t StiCreateInstanceW(void) { return 0; }
#endif

#ifdef WITH_QEL_ENCODE
EXPORT int32_t QelXMLEncode(void) { return 0; }
#endif
#ifdef WITH_QEL_DECODE
EXPORT int32_t QelXMLDecode(void) { return 0; }
#endif
#ifdef WITH_QEL_FREE
EXPORT void QelCodecFree(void* p) { (void)p; }
#endif
