/* The Still Image service ("sti") as the USB channel and the enumeration call
 * it: the entry StiCreateInstanceW, the service object IStillImageW and the
 * device object IStiDevice, and what the MFP's driver behind the service
 * takes through them. Both objects are interfaces whose functions keep the
 * order given here: C++ sees abstract classes, C a structure whose first
 * member points to a table of the same functions, each taking the object
 * first. The two views share one layout. */
#ifndef TALLOWMERE_CONTRACTS_STILL_IMAGE_H
#define TALLOWMERE_CONTRACTS_STILL_IMAGE_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

typedef int32_t HRESULT;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef void* HINSTANCE;

/* Version passed to StiCreateInstanceW: version 2 with the Unicode flag. */
#define STI_VERSION_REAL 0x00000002u
#define STI_VERSION_FLAG_UNICODE 0x01000000u
#define STI_VERSION (STI_VERSION_REAL | STI_VERSION_FLAG_UNICODE)

/* Device modes of CreateDevice. */
#define STI_DEVICE_CREATE_STATUS 0x00000001u
#define STI_DEVICE_CREATE_DATA 0x00000002u
#define STI_DEVICE_CREATE_BOTH 0x00000003u

/* Device types of GetDeviceList; the default lists every type. */
enum { StiDeviceTypeDefault = 0, StiDeviceTypeScanner = 1 };

/* Units of szDeviceInternalName, its NUL included. */
#define STI_MAX_INTERNAL_NAME_LENGTH 128

/* Results of the service: negative values are failures. */
#define STI_OK ((HRESULT)0)
#define STI_NOT_LOCKED ((HRESULT)1)                  /* UnLockDevice without a lock held */
#define STIERR_UNSUPPORTED ((HRESULT)0x80004001u)    /* the driver lacks the function */
#define STIERR_GENERIC ((HRESULT)0x80004005u)
#define STIERR_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define STIERR_DEVICE_NOTREADY ((HRESULT)0x80070015u)
#define STIERR_DEVICE_LOCKED ((HRESULT)0x80070021u)  /* another object holds the lock */
#define STIERR_INVALID_PARAM ((HRESULT)0x80070057u)
#define STIERR_INVALID_DEVICE_NAME ((HRESULT)0x8007007Bu)
#define STIERR_NOT_CONNECTED ((HRESULT)0x8007048Fu)  /* the device is gone */
#define STIERR_TIMEOUT ((HRESULT)0x800705B4u)

/* One device of GetDeviceList. The list is one block holding every record
 * and the texts they point to, allocated with malloc; the caller frees it
 * (the program's LocalFree). */
typedef struct STI_DEVICE_INFORMATIONW {
  DWORD dwSize; /* sizeof(STI_DEVICE_INFORMATIONW) */
  DWORD DeviceType;
  char16_t szDeviceInternalName[STI_MAX_INTERNAL_NAME_LENGTH];
  DWORD DeviceCapabilities;
  DWORD dwHardwareConfiguration;
  const char16_t* pszVendorDescription;
  const char16_t* pszDeviceDescription;
  const char16_t* pszPortName;
  const char16_t* pszPropProvider;
  const char16_t* pszLocalName;
} STI_DEVICE_INFORMATIONW;

#ifdef __cplusplus

class IStiDevice {
 public:
  /* Waits up to |timeoutMs| for the device to be free of other users. */
  virtual HRESULT LockDevice(DWORD timeoutMs) = 0;
  virtual HRESULT UnLockDevice() = 0;
  /* A driver-defined exchange: |function| with input bytes, optional output. */
  virtual HRESULT Escape(DWORD function, const void* inData, DWORD inSize, void* outData,
                         DWORD outSize, DWORD* outCount) = 0;
  /* Writes a command; |overlapped| must be null (no asynchronous transfers). */
  virtual HRESULT RawWriteCommand(const void* data, DWORD size, void* overlapped) = 0;
  /* Reads up to *size bytes; *size is then the count read. */
  virtual HRESULT RawReadData(void* buffer, DWORD* size, void* overlapped) = 0;
  /* Drops the caller's reference; the object goes with the last one. */
  virtual ULONG Release() = 0;

 protected:
  ~IStiDevice() = default;
};

class IStillImageW {
 public:
  /* All devices of |type| (StiDeviceTypeDefault: every type): *count
   * records in one block, see STI_DEVICE_INFORMATIONW. */
  virtual HRESULT GetDeviceList(DWORD type, DWORD flags, DWORD* count, void** list) = 0;
  /* Opens the device of internal name |name|; STI_OK and *device on success. */
  virtual HRESULT CreateDevice(const char16_t* name, DWORD mode, IStiDevice** device,
                               void* outer) = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IStillImageW() = default;
};

#else

typedef struct IStiDevice IStiDevice;
typedef struct IStillImageW IStillImageW;

typedef struct IStiDeviceVtbl {
  HRESULT (*LockDevice)(IStiDevice* self, DWORD timeoutMs);
  HRESULT (*UnLockDevice)(IStiDevice* self);
  HRESULT (*Escape)(IStiDevice* self, DWORD function, const void* inData, DWORD inSize,
                    void* outData, DWORD outSize, DWORD* outCount);
  HRESULT (*RawWriteCommand)(IStiDevice* self, const void* data, DWORD size, void* overlapped);
  HRESULT (*RawReadData)(IStiDevice* self, void* buffer, DWORD* size, void* overlapped);
  ULONG (*Release)(IStiDevice* self);
} IStiDeviceVtbl;

struct IStiDevice {
  const IStiDeviceVtbl* lpVtbl;
};

typedef struct IStillImageWVtbl {
  HRESULT (*GetDeviceList)(IStillImageW* self, DWORD type, DWORD flags, DWORD* count,
                           void** list);
  HRESULT (*CreateDevice)(IStillImageW* self, const char16_t* name, DWORD mode,
                          IStiDevice** device, void* outer);
  ULONG (*Release)(IStillImageW* self);
} IStillImageWVtbl;

struct IStillImageW {
  const IStillImageWVtbl* lpVtbl;
};

#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The library's one export, under the name "StiCreateInstanceW". */
typedef HRESULT (*StiCreateInstanceWFn)(HINSTANCE instance, DWORD version, IStillImageW** object,
                                        void* outer);

#ifdef __cplusplus
}
#endif

/* The MFP's driver takes each box-protocol request as an Escape of function
 * STI_MFP_ESCAPE_REQUEST whose input is a header of
 * STI_MFP_ESCAPE_HEADER_SIZE bytes (the low 16 bits of the request's packet
 * code, then zeros), followed by a RawWriteCommand of the request bytes. A
 * driver that answers the escape with STIERR_UNSUPPORTED takes, as the next
 * RawWriteCommand, a command block instead of the request bytes: the 32-bit
 * packet code, the address of the request bytes in the caller's memory
 * (pointer-sized), the 32-bit request size, little-endian and without
 * padding (16 bytes on a 64-bit build). */
#define STI_MFP_ESCAPE_REQUEST 0x1000u
#define STI_MFP_ESCAPE_HEADER_SIZE 6
#define STI_MFP_COMMAND_BLOCK_SIZE (4 + sizeof(void*) + 4)

#endif
