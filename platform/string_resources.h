// String tables in resource libraries (contracts/string_resources.h).
#pragma once

#include <cstdint>

#include "contracts/string_resources.h"
#include "platform/library.h"
#include "platform/result.h"

namespace tallow {

// Copies the text of |id| from |module| into |buffer| of |bufferMax| units,
// cut to bufferMax - 1 units (a surrogate pair is never split) and
// NUL-terminated; returns its length. 0 when the module has no such text or
// only an empty one: ERROR_RESOURCE_TYPE_NOT_FOUND without a table,
// ERROR_RESOURCE_NAME_NOT_FOUND without the id, ERROR_INVALID_PARAMETER for
// a missing module or buffer. The first entry with the id wins.
int LoadStringW(HMODULE module, std::uint32_t id, char16_t* buffer, int bufferMax);

}  // namespace tallow
