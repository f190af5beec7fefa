/* The entries of the discovery library ("yomba") and the record it returns
 * per MFP found. The search returns one block of records back to back; the
 * caller reads the two texts of each and hands the block back to the
 * library's free entry. Text is UTF-16, NUL-terminated inside its field. */
#ifndef TALLOWMERE_CONTRACTS_DISCOVERY_API_H
#define TALLOWMERE_CONTRACTS_DISCOVERY_API_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Field sizes in UTF-16 units, the NUL included. */
#define VKT_MFP_ADDRESS_UNITS 56
#define VKT_MFP_NAME_UNITS 82
#define VKT_MFP_RECORD_SIZE 276

typedef struct VktMfpAddress {
  char16_t address[VKT_MFP_ADDRESS_UNITS]; /* offset 0: dotted IPv4 address or host name */
  char16_t name[VKT_MFP_NAME_UNITS];       /* offset 112: the MFP's device name */
} VktMfpAddress;

/* |flags| and |reserved| are passed as 0 and ignored. |count| receives the
 * number of records; the result is the first record, or NULL when nothing
 * was found (count 0). The search blocks for its whole wait. */
typedef VktMfpAddress* (*VKTGetDetectedMFPAddrWFn)(void* owner, int32_t flags, uint32_t* count,
                                                    int32_t reserved);
/* The same on the UDP search port |port| (1 to 65535; other values find
 * nothing). */
typedef VktMfpAddress* (*VKTGetDetectedMFPAddrSpecifyPortWFn)(void* owner, int32_t flags,
                                                              uint32_t* count, int32_t reserved,
                                                              uint32_t port);
/* Frees a block a search returned; NULL is allowed. 1 when a block was freed. */
typedef int32_t (*VKTFreeMFPAddrWFn)(VktMfpAddress* block);

#ifdef __cplusplus
}
static_assert(sizeof(VktMfpAddress) == VKT_MFP_RECORD_SIZE, "records are 276 bytes");
#endif

#endif
