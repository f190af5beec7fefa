/* The largest page file and page picture that the program and the codec
 * libraries take from the device. Page files are untrusted: a page beyond
 * these is a broken or hostile file, which the writers refuse and the
 * preview does not decode, rather than ask for the memory its header
 * declares. */
#ifndef TALLOWMERE_CONTRACTS_PAGE_LIMITS_H
#define TALLOWMERE_CONTRACTS_PAGE_LIMITS_H

#include <stdint.h>

/* Bytes of one page file; a scanned page is far smaller. */
#define PAGE_MAX_FILE_BYTES (UINT64_C(256) << 20)
/* Width times height, in pixels: A3 at 1200 dpi is under 2^29. */
#define PAGE_MAX_PIXELS (UINT64_C(1) << 29)
/* Width, and height, in pixels. */
#define PAGE_MAX_SIDE (UINT32_C(1) << 18)

#endif /* TALLOWMERE_CONTRACTS_PAGE_LIMITS_H */
