#include "device/usb_transport.h"

#include <cstring>
#include <memory>
#include <new>

#include "device/box_protocol.h"
#include "device/sti_binding.h"

namespace tallow {

namespace {

// Shared by every USB command without locks: the commands never overlap
// (the user interface is modal while the save worker runs).
IStillImageW* g_stillImage = nullptr;
IStiDevice* g_device = nullptr;

void PutLe(std::uint8_t* p, std::uint64_t value, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::unique_ptr<std::uint8_t[]> Allocate(std::uint32_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

}  // namespace

UsbEscapeHeader MakeUsbEscapeHeader(std::uint32_t packetCode) {
  UsbEscapeHeader header{};
  PutLe(header.data(), packetCode & 0xFFFF, 2);
  return header;
}

UsbCommandBlock MakeUsbCommandBlock(std::uint32_t packetCode, const void* request,
                                    std::uint32_t size) {
  UsbCommandBlock block{};
  PutLe(block.data(), packetCode, 4);
  PutLe(block.data() + 4, reinterpret_cast<std::uintptr_t>(request), sizeof(void*));
  PutLe(block.data() + 4 + sizeof(void*), size, 4);
  return block;
}

IStillImageW* HeldStillImage() { return g_stillImage; }
IStiDevice* HeldStiDevice() { return g_device; }

int OpenStiDevice(WStringView internalName) {
  StiCreateInstanceWFn create = BoundStiCreateInstance();
  if (!create) return 0;
  IStillImageW* sti = nullptr;
  HRESULT hr = create(GetModuleHandleW(nullptr), STI_VERSION, &sti, nullptr);
  if (!sti) return 0;
  if (FAILED(hr)) {
    sti->Release();
    return 0;
  }
  g_stillImage = sti;
  const WString name(internalName);
  IStiDevice* device = nullptr;
  hr = g_stillImage->CreateDevice(name.c_str(), STI_DEVICE_CREATE_BOTH, &device, nullptr);
  if (hr != S_OK) {
    // A success code other than S_OK is a refusal too; whatever object came
    // with it is given back.
    if (device) device->Release();
    ReleaseStiDevice();
    return 0;
  }
  if (!device) {
    ReleaseStiDevice();
    return 0;
  }
  g_device = device;
  return 1;
}

void ReleaseStiDevice() {
  if (g_device) g_device->Release();
  g_device = nullptr;
  if (g_stillImage) g_stillImage->Release();
  g_stillImage = nullptr;
}

int UsbSendRequest(XhDocument doc, const XmlHttpApi& api) {
  IStiDevice* device = g_device;
  if (!device) return 0;
  if (!api.PrepareRequest(doc, 0, kBoxServicePath, 0)) return 0;
  const std::uint32_t packetCode = api.GetPacketCode(doc);
  const std::uint32_t size = api.GetRequestSize(doc);
  if (size == 0 || size > kMaxUsbTransfer) return 0;
  std::unique_ptr<std::uint8_t[]> request = Allocate(size);
  if (!request) return 0;
  std::uint32_t copied = 0;
  if (!api.CopyRequest(doc, request.get(), size, &copied)) return 0;

  const UsbEscapeHeader header = MakeUsbEscapeHeader(packetCode);
  HRESULT hr = device->Escape(STI_MFP_ESCAPE_REQUEST, header.data(), header.size(), nullptr, 0,
                              nullptr);
  if (SUCCEEDED(hr)) {
    hr = device->RawWriteCommand(request.get(), size, nullptr);
  } else if (hr == E_NOTIMPL) {
    // The driver takes a block that points at the request in our memory.
    const UsbCommandBlock block = MakeUsbCommandBlock(packetCode, request.get(), size);
    hr = device->RawWriteCommand(block.data(), block.size(), nullptr);
  } else {
    return 0;
  }
  return SUCCEEDED(hr) ? 1 : 0;
}

int UsbReceiveResponse(XhDocument doc, const XmlHttpApi& api) {
  IStiDevice* device = g_device;
  if (!device) return 0;
  api.ResetDocument(doc);
  std::uint8_t lengthBytes[kUsbReplyLengthSize] = {};
  DWORD count = kUsbReplyLengthSize;
  if (FAILED(device->RawReadData(lengthBytes, &count, nullptr))) return 0;
  // A length that did not arrive whole is no length.
  if (count != kUsbReplyLengthSize) return 0;
  const std::uint32_t length = lengthBytes[0] | (lengthBytes[1] << 8) | (lengthBytes[2] << 16) |
                               (static_cast<std::uint32_t>(lengthBytes[3]) << 24);
  if (length == 0 || length > kMaxUsbTransfer) return 0;
  std::unique_ptr<std::uint8_t[]> body = Allocate(length);
  if (!body) return 0;
  count = length;
  if (FAILED(device->RawReadData(body.get(), &count, nullptr))) return 0;
  if (count > length) count = length;  // a driver never reports more than it was given room for
  return api.ParseReply(doc, body.get(), count) ? 1 : 0;
}

int UsbTransact(XhDocument doc, const XmlHttpApi& api) {
  if (!UsbSendRequest(doc, api)) return 0;
  return UsbReceiveResponse(doc, api);
}

}  // namespace tallow
