// Network discovery: asks the discovery library for the MFPs that answer and
// appends their names and addresses to the caller's lists. Whoever loads the
// library binds its entries here; until then a search finds nothing.
#pragma once

#include <cstdint>

#include "contracts/discovery_api.h"
#include "platform/library.h"
#include "platform/text.h"
#include "platform/window_handle.h"

namespace tallow {

struct DiscoveryEntries {
  VKTGetDetectedMFPAddrWFn getDetected = nullptr;
  VKTGetDetectedMFPAddrSpecifyPortWFn getDetectedSpecifyPort = nullptr;  // optional
  VKTFreeMFPAddrWFn freeAddresses = nullptr;
};

// The entries as a library hands them out by name (null where absent).
DiscoveryEntries DiscoveryEntriesFrom(FARPROC getDetected, FARPROC getDetectedSpecifyPort,
                                      FARPROC freeAddresses);

// Binds a copy of |entries|. Without the free entry, or without both search
// entries, nothing is bound and false comes back: every block a search
// returns must go back to the library.
bool BindDiscoveryEntries(const DiscoveryEntries& entries);
void UnbindDiscoveryEntries();
// Whether the bound library searches on a port it is given (it has
// VKTGetDetectedMFPAddrSpecifyPortW); false while nothing is bound.
bool DiscoveryTakesSearchPort();

// The text of one record's field, up to its NUL or the field's end.
WString RecordAddress(const VktMfpAddress& record);
WString RecordName(const VktMfpAddress& record);

// Searches through the bound entries (with |searchPort| when the library
// takes one) and appends, per MFP and in the library's order, its name to
// |names| and its address to |addresses|. The lists are never emptied here;
// nothing found leaves them as they were. Blocks until the search ends.
void DiscoverMfps(HWND owner, std::uint32_t searchPort, WStringList& names,
                  WStringList& addresses);

}  // namespace tallow
