/* What the C side of the contract test offers the C++ side. */
#ifndef TALLOWMERE_TESTS_C_VIEW_H
#define TALLOWMERE_TESTS_C_VIEW_H

#include <stddef.h>

#include "contracts/still_image.h"

#ifdef __cplusplus
extern "C" {
#endif

/* sizeof or offsetof as C sees it, by the name of the type or field; -1 for
 * a name it does not know. */
size_t LayoutInC(const char* what);

/* What the C still-image objects were last given. */
typedef struct CViewCalls {
  DWORD number;
  DWORD size;
  int released;
} CViewCalls;

void CViewRecordInto(CViewCalls* calls);
/* A StiCreateInstanceW written in C: its service and device objects are C
 * structures with function tables. */
HRESULT CViewCreateInstance(HINSTANCE instance, DWORD version, IStillImageW** object, void* outer);

#ifdef __cplusplus
}
#endif

#endif
