#include "platform/string_resources.h"

#include "platform/text.h"

namespace tallow {

int LoadStringW(HMODULE module, std::uint32_t id, char16_t* buffer, int bufferMax) {
  if (!buffer || bufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  buffer[0] = 0;
  if (!module) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto table = reinterpret_cast<TallowStringResourcesFn>(GetProcAddress(module, TALLOW_STRING_RESOURCES_EXPORT));
  std::uint32_t count = 0;
  const TallowStringResource* entries = table ? table(&count) : nullptr;
  if (!entries || count > TALLOW_MAX_STRING_RESOURCES) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    if (entries[i].id != id) continue;
    if (!entries[i].text || entries[i].length == 0) break;
    CopyToField(buffer, static_cast<std::size_t>(bufferMax),
                WStringView(entries[i].text, entries[i].length));
    SetLastError(ERROR_SUCCESS);
    return static_cast<int>(WideLength(buffer));
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return 0;
}

}  // namespace tallow
