// String tables in resource libraries. The other system keeps a library's
// texts in a string-table resource; here a resource library is an ordinary
// shared library that exports one C function handing out its table:
//
//   extern "C" const TallowStringResource* TallowStringResources(uint32_t* count);
//
// The table and its texts must stay valid while the library is loaded. Texts
// carry their length and need no terminating NUL.
#pragma once

#include <cstdint>

#include "platform/library.h"
#include "platform/result.h"

namespace tallow {

extern "C" {
struct TallowStringResource {
  std::uint32_t id;
  std::uint32_t length;  // UTF-16 units
  const char16_t* text;
};
typedef const TallowStringResource* (*TallowStringResourcesFn)(std::uint32_t* count);
}

inline constexpr char kStringResourcesExport[] = "TallowStringResources";

// A table claiming more entries than this is taken as broken and not read.
inline constexpr std::uint32_t kMaxStringResources = 65536;

// Copies the text of |id| from |module| into |buffer| of |bufferMax| units,
// cut to bufferMax - 1 units (a surrogate pair is never split) and
// NUL-terminated; returns its length. 0 when the module has no such text or
// only an empty one: ERROR_RESOURCE_TYPE_NOT_FOUND without a table,
// ERROR_RESOURCE_NAME_NOT_FOUND without the id, ERROR_INVALID_PARAMETER for
// a missing module or buffer. The first entry with the id wins.
int LoadStringW(HMODULE module, std::uint32_t id, char16_t* buffer, int bufferMax);

}  // namespace tallow
