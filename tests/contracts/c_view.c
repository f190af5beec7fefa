/* Every contract compiled as C. The layouts C gives them are handed to the
 * C++ test, which compares them with its own; the still-image objects made
 * here are called through the C++ view of their interfaces. */
#include <stddef.h>
#include <string.h>

#include "c_view.h"
#include "contracts/codec_api.h"
#include "contracts/discovery_api.h"
#include "contracts/page_limits.h"
#include "contracts/still_image.h"
#include "contracts/string_resources.h"
#include "contracts/transfer_limits.h"
#include "contracts/usb_registry.h"
#include "contracts/xml_http_api.h"

_Static_assert(sizeof(XmlHttpApi) == XML_HTTP_API_SLOTS * sizeof(void*), "one pointer per slot");
_Static_assert(sizeof(VktMfpAddress) == VKT_MFP_RECORD_SIZE, "records are 276 bytes");

static const struct {
  const char* what;
  size_t value;
} kLayouts[] = {
    {"XmlHttpApi", sizeof(XmlHttpApi)},
    {"XmlHttpApi.HttpPost", offsetof(XmlHttpApi, HttpPost)},
    {"VktMfpAddress", sizeof(VktMfpAddress)},
    {"VktMfpAddress.name", offsetof(VktMfpAddress, name)},
    {"CodecPageInfo", sizeof(CodecPageInfo)},
    {"CodecPageInfo.YRESOLUTION", offsetof(CodecPageInfo, YRESOLUTION)},
    {"STI_DEVICE_INFORMATIONW", sizeof(STI_DEVICE_INFORMATIONW)},
    {"STI_DEVICE_INFORMATIONW.pszVendorDescription",
     offsetof(STI_DEVICE_INFORMATIONW, pszVendorDescription)},
    {"STI_MFP_COMMAND_BLOCK_SIZE", STI_MFP_COMMAND_BLOCK_SIZE},
    {"TallowStringResource", sizeof(TallowStringResource)},
    {"TallowStringResource.text", offsetof(TallowStringResource, text)},
};

size_t LayoutInC(const char* what) {
  for (size_t i = 0; i < sizeof kLayouts / sizeof kLayouts[0]; ++i) {
    if (strcmp(kLayouts[i].what, what) == 0) return kLayouts[i].value;
  }
  return (size_t)-1;
}

/* Each function answers with a number of its own, so that the caller sees
 * which one its call reached, and keeps what it was given. */
static struct CDevice {
  IStiDevice base;
  CViewCalls* calls;
} g_device;

static struct CService {
  IStillImageW base;
  CViewCalls* calls;
} g_service;

static HRESULT DeviceLock(IStiDevice* self, DWORD timeoutMs) {
  ((struct CDevice*)self)->calls->number = timeoutMs;
  return 1;
}

static HRESULT DeviceUnlock(IStiDevice* self) {
  (void)self;
  return 2;
}

static HRESULT DeviceEscape(IStiDevice* self, DWORD function, const void* inData, DWORD inSize,
                            void* outData, DWORD outSize, DWORD* outCount) {
  (void)inData, (void)outData, (void)outSize;
  ((struct CDevice*)self)->calls->number = function;
  ((struct CDevice*)self)->calls->size = inSize;
  if (outCount) *outCount = 0;
  return 3;
}

static HRESULT DeviceWrite(IStiDevice* self, const void* data, DWORD size, void* overlapped) {
  (void)data, (void)overlapped;
  ((struct CDevice*)self)->calls->size = size;
  return 4;
}

static HRESULT DeviceRead(IStiDevice* self, void* buffer, DWORD* size, void* overlapped) {
  (void)self, (void)buffer, (void)overlapped;
  *size = 1;
  return 5;
}

static ULONG DeviceRelease(IStiDevice* self) {
  return (ULONG)++((struct CDevice*)self)->calls->released;
}

static const IStiDeviceVtbl kDeviceFunctions = {DeviceLock,  DeviceUnlock, DeviceEscape,
                                                DeviceWrite, DeviceRead,   DeviceRelease};

static HRESULT ServiceList(IStillImageW* self, DWORD type, DWORD flags, DWORD* count, void** list) {
  (void)flags;
  ((struct CService*)self)->calls->number = type;
  *count = 0;
  *list = NULL;
  return 11;
}

static HRESULT ServiceCreate(IStillImageW* self, const char16_t* name, DWORD mode,
                             IStiDevice** device, void* outer) {
  (void)outer;
  ((struct CService*)self)->calls->number = mode;
  ((struct CService*)self)->calls->size = name ? (DWORD)name[0] : 0;
  *device = &g_device.base;
  return STI_OK;
}

static ULONG ServiceRelease(IStillImageW* self) {
  return (ULONG)++((struct CService*)self)->calls->released;
}

static const IStillImageWVtbl kServiceFunctions = {ServiceList, ServiceCreate, ServiceRelease};

HRESULT CViewCreateInstance(HINSTANCE instance, DWORD version, IStillImageW** object, void* outer) {
  (void)instance, (void)outer;
  if (version != STI_VERSION) return STIERR_INVALID_PARAM;
  *object = &g_service.base;
  return STI_OK;
}

void CViewRecordInto(CViewCalls* calls) {
  memset(calls, 0, sizeof *calls);
  g_device.base.lpVtbl = &kDeviceFunctions;
  g_device.calls = calls;
  g_service.base.lpVtbl = &kServiceFunctions;
  g_service.calls = calls;
}
