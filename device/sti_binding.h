// The Still Image service's entry that the USB channel and the enumeration
// call. Whoever loads "sti.dll" binds its StiCreateInstanceW here; until
// then, every USB command fails at once and enumeration lists nothing.
#pragma once

#include "platform/library.h"
#include "platform/still_image.h"

namespace tallow {

// nullptr unbinds.
void BindStiCreateInstance(FARPROC entry);
StiCreateInstanceWFn BoundStiCreateInstance();
// Whether the Still Image library is loaded: its entry is bound.
inline bool StillImageLoaded() { return BoundStiCreateInstance() != nullptr; }

}  // namespace tallow
