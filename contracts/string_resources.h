/* The string table of a resource library. The other system keeps a
 * library's texts in a string-table resource; here a resource library is an
 * ordinary shared library that exports one function handing out its table:
 *
 *   const TallowStringResource* TallowStringResources(uint32_t* count);
 *
 * The table and its texts stay valid while the library is loaded. Texts
 * carry their length in UTF-16 units and need no terminating NUL; an entry
 * of length 0 holds no text. */
#ifndef TALLOWMERE_CONTRACTS_STRING_RESOURCES_H
#define TALLOWMERE_CONTRACTS_STRING_RESOURCES_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TallowStringResource {
  uint32_t id;
  uint32_t length; /* UTF-16 units */
  const char16_t* text;
} TallowStringResource;

typedef const TallowStringResource* (*TallowStringResourcesFn)(uint32_t* count);

#define TALLOW_STRING_RESOURCES_EXPORT "TallowStringResources"

/* A table claiming more entries than this is taken as broken and not read. */
#define TALLOW_MAX_STRING_RESOURCES 65536u

#ifdef __cplusplus
}
#endif

#endif
