// The Still Image service as the USB channel and the enumeration call it: the
// entry StiCreateInstanceW, the service object IStillImageW and the device
// object IStiDevice. The service itself is a closed library ("sti.dll"); this
// header is the contract between it and the system. Both interfaces are C++
// abstract classes whose virtual functions keep the order given here.
#pragma once

#include <cstdint>

#include "platform/result.h"

namespace tallow {

using HINSTANCE = void*;
using ULONG = std::uint32_t;

// Version passed to StiCreateInstanceW: version 2 with the Unicode flag.
inline constexpr DWORD STI_VERSION_REAL = 0x00000002;
inline constexpr DWORD STI_VERSION_FLAG_UNICODE = 0x01000000;
inline constexpr DWORD STI_VERSION = STI_VERSION_REAL | STI_VERSION_FLAG_UNICODE;

// Device modes of CreateDevice.
inline constexpr DWORD STI_DEVICE_CREATE_STATUS = 0x00000001;
inline constexpr DWORD STI_DEVICE_CREATE_DATA = 0x00000002;
inline constexpr DWORD STI_DEVICE_CREATE_BOTH = 0x00000003;

// Device types of GetDeviceList; 0 lists every type.
inline constexpr DWORD StiDeviceTypeDefault = 0;
inline constexpr DWORD StiDeviceTypeScanner = 1;

// Units of szDeviceInternalName, its NUL included.
inline constexpr int STI_MAX_INTERNAL_NAME_LENGTH = 128;

// Results of the service beyond the common ones.
inline constexpr HRESULT STIERR_INVALID_DEVICE_NAME = HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
inline constexpr HRESULT STIERR_DEVICE_LOCKED = HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION);
inline constexpr HRESULT STIERR_DEVICE_NOTREADY = HRESULT_FROM_WIN32(ERROR_NOT_READY);
inline constexpr HRESULT STIERR_NOT_CONNECTED = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
inline constexpr HRESULT STIERR_TIMEOUT = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
inline constexpr HRESULT STIERR_UNSUPPORTED = E_NOTIMPL;

// One device of GetDeviceList. The list is one block holding every record
// and the texts they point to; the caller frees it with LocalFree.
struct STI_DEVICE_INFORMATIONW {
  DWORD dwSize;  // sizeof(STI_DEVICE_INFORMATIONW)
  DWORD DeviceType;
  char16_t szDeviceInternalName[STI_MAX_INTERNAL_NAME_LENGTH];
  DWORD DeviceCapabilities;
  DWORD dwHardwareConfiguration;
  const char16_t* pszVendorDescription;
  const char16_t* pszDeviceDescription;
  const char16_t* pszPortName;
  const char16_t* pszPropProvider;
  const char16_t* pszLocalName;
};

// Frees a block that the service handed out. Null does nothing.
void LocalFree(void* block);

class IStiDevice {
 public:
  // Waits up to |timeoutMs| for the device to be free of other users.
  virtual HRESULT LockDevice(DWORD timeoutMs) = 0;
  virtual HRESULT UnLockDevice() = 0;
  // A driver-defined exchange: |function| with input bytes, optional output.
  virtual HRESULT Escape(DWORD function, const void* inData, DWORD inSize, void* outData,
                         DWORD outSize, DWORD* outCount) = 0;
  // Writes a command; |overlapped| must be null (no asynchronous transfers).
  virtual HRESULT RawWriteCommand(const void* data, DWORD size, void* overlapped) = 0;
  // Reads up to *size bytes; *size is then the count read.
  virtual HRESULT RawReadData(void* buffer, DWORD* size, void* overlapped) = 0;
  // Drops the caller's reference; the object goes with the last one.
  virtual ULONG Release() = 0;

 protected:
  ~IStiDevice() = default;
};

class IStillImageW {
 public:
  // All devices of |type| (0: every type): *count records in one block that
  // the caller frees with LocalFree.
  virtual HRESULT GetDeviceList(DWORD type, DWORD flags, DWORD* count, void** list) = 0;
  // Opens the device of internal name |name|; S_OK and *device on success.
  virtual HRESULT CreateDevice(const char16_t* name, DWORD mode, IStiDevice** device,
                               void* outer) = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IStillImageW() = default;
};

// The library's one export, under the name "StiCreateInstanceW".
extern "C" {
typedef HRESULT (*StiCreateInstanceWFn)(HINSTANCE instance, DWORD version, IStillImageW** object,
                                        void* outer);
}

// The program's own module (null name), as handed to StiCreateInstanceW.
HINSTANCE GetModuleHandleW(const char16_t* name);

}  // namespace tallow
