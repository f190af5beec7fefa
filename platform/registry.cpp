#include "platform/registry.h"

#include <cstring>
#include <new>
#include <optional>

#include "libs/common/usb_registry.h"
#include "platform/text.h"

namespace tallow {

struct RegistryKey {
  WString matchingDeviceId;  // read when the key was opened
};

namespace {

// Key paths compare without regard to ASCII case, as the other system's do.
bool StartsWithCaseBlind(WStringView text, WStringView prefix) {
  return text.size() >= prefix.size() && AsciiLower(text.substr(0, prefix.size())) == AsciiLower(prefix);
}

}  // namespace

LSTATUS RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD, REGSAM rights, HKEY* result) {
  if (!result) return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
  *result = nullptr;
  if (key != HKEY_LOCAL_MACHINE || !subKey) return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
  if ((rights & ~KEY_READ) != 0) return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);
  WStringView path(subKey);
  WStringView prefix(kDeviceClassKeyPrefix);
  if (!StartsWithCaseBlind(path, prefix)) return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
  std::string name = ToAnsi(path.substr(prefix.size()));
  std::optional<standin::UsbRegistryEntry> entry =
      standin::FindUsbRegistryEntry(standin::UsbRegistryFolder(), name);
  if (!entry) return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
  RegistryKey* opened = new (std::nothrow) RegistryKey{FromAnsi(entry->hardwareId)};
  if (!opened) return static_cast<LSTATUS>(ERROR_NOT_ENOUGH_MEMORY);
  *result = opened;
  return static_cast<LSTATUS>(ERROR_SUCCESS);
}

LSTATUS RegQueryValueExW(HKEY key, const char16_t* valueName, DWORD*, DWORD* type, BYTE* data,
                         DWORD* size) {
  if (!key || key == HKEY_LOCAL_MACHINE) return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
  if (!valueName || AsciiLower(valueName) != AsciiLower(kMatchingDeviceIdValue)) {
    return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
  }
  if (data && !size) return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
  const WString& text = key->matchingDeviceId;
  const DWORD needed = static_cast<DWORD>((text.size() + 1) * sizeof(char16_t));
  if (type) *type = REG_SZ;
  if (!data) {
    if (size) *size = needed;
    return static_cast<LSTATUS>(ERROR_SUCCESS);
  }
  if (*size < needed) {
    *size = needed;
    return static_cast<LSTATUS>(ERROR_MORE_DATA);
  }
  std::memcpy(data, text.c_str(), needed);
  *size = needed;
  return static_cast<LSTATUS>(ERROR_SUCCESS);
}

LSTATUS RegCloseKey(HKEY key) {
  if (!key || key == HKEY_LOCAL_MACHINE) return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
  delete key;
  return static_cast<LSTATUS>(ERROR_SUCCESS);
}

}  // namespace tallow
