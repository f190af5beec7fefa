#include "device/usb_enum.h"

#include <cstring>

#include "device/sti_binding.h"
#include "platform/registry.h"
#include "platform/still_image.h"

namespace tallow {

namespace {

constexpr DWORD kIdBufferBytes = 2048;
// The service's list is trusted, but a count past this is not a list.
constexpr DWORD kMaxDevices = 4096;

// The device's hardware id; empty when its key or value cannot be read, and
// when the value does not fit the buffer.
WString MatchingDeviceId(const WString& internalName) {
  const WString path = WString(kDeviceClassKeyPrefix) + internalName;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  char16_t buffer[kIdBufferBytes / sizeof(char16_t)] = {};
  DWORD type = 0, size = 0;
  RegQueryValueExW(key, kMatchingDeviceIdValue, nullptr, &type, nullptr, &size);
  size = kIdBufferBytes;
  LSTATUS status = RegQueryValueExW(key, kMatchingDeviceIdValue, nullptr, &type,
                                    reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return {};
  std::size_t units = 0;
  while (units < sizeof buffer / sizeof buffer[0] && buffer[units] != 0) ++units;
  return WString(buffer, units);
}

// The NUL-terminated text of a fixed field, cut at its end when it has no NUL.
WString FieldText(const char16_t* field, std::size_t capacity) {
  std::size_t n = 0;
  while (n < capacity && field[n] != 0) ++n;
  return WString(field, n);
}

}  // namespace

bool IsOurUsbDevice(WStringView hardwareId) {
  return AsciiLower(hardwareId).find(kUsbVendorId) != WString::npos;
}

void EnumerateUsbDevices(WStringList& names, WStringList& ids, WStringList& addresses) {
  ids.clear();
  StiCreateInstanceWFn create = BoundStiCreateInstance();
  if (!create) return;
  IStillImageW* sti = nullptr;
  create(GetModuleHandleW(nullptr), STI_VERSION, &sti, nullptr);
  if (!sti) return;
  DWORD count = 0;
  void* list = nullptr;
  HRESULT hr = sti->GetDeviceList(StiDeviceTypeDefault, 0, &count, &list);
  if (SUCCEEDED(hr) && list && count > 0 && count <= kMaxDevices) {
    const auto* records = static_cast<const STI_DEVICE_INFORMATIONW*>(list);
    for (DWORD i = 0; i < count; ++i) {
      const STI_DEVICE_INFORMATIONW& r = records[i];
      WString name = FieldText(r.szDeviceInternalName, STI_MAX_INTERNAL_NAME_LENGTH);
      WString description = r.pszDeviceDescription ? WString(r.pszDeviceDescription) : WString();
      if (name.empty() || !IsOurUsbDevice(MatchingDeviceId(name))) continue;
      names.push_back(std::move(description));
      ids.push_back(std::move(name));
      addresses.emplace_back();
    }
  }
  LocalFree(list);
  sti->Release();
}

}  // namespace tallow
