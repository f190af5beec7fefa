// The USB channel's byte carrier over the Still Image service: open the MFP
// by its internal device name, send one request (an escape announcing its
// packet code, then the request bytes as a raw command) and read one reply
// (a 4-byte length, then that many bytes of XML) into the request document.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "contracts/xml_http_api.h"
#include "platform/still_image.h"
#include "platform/text.h"

namespace tallow {

// Packet codes of the requests.
inline constexpr std::uint32_t kUsbPacketList = 0x60;
inline constexpr std::uint32_t kUsbPacketGetData = 0x62;
inline constexpr std::uint32_t kUsbPacketDelete = 0x64;
inline constexpr std::uint32_t kUsbPacketImageInfo = 0x65;
inline constexpr std::uint32_t kUsbPacketGetFile = 0x68;

inline constexpr DWORD kUsbLockTimeoutMs = 1000;
inline constexpr std::size_t kUsbReplyLengthSize = 4;
// Replies and page blocks announced above this are refused unread.
inline constexpr std::uint32_t kMaxUsbTransfer = std::uint32_t{64} << 20;

using UsbEscapeHeader = std::array<std::uint8_t, STI_MFP_ESCAPE_HEADER_SIZE>;
using UsbCommandBlock = std::array<std::uint8_t, STI_MFP_COMMAND_BLOCK_SIZE>;

// Little-endian: the low 16 bits of |packetCode|, then four zero bytes.
UsbEscapeHeader MakeUsbEscapeHeader(std::uint32_t packetCode);
// Little-endian, without padding: the whole packet code, the address, the size.
UsbCommandBlock MakeUsbCommandBlock(std::uint32_t packetCode, const void* request,
                                    std::uint32_t size);

// The process-wide held objects; both empty between commands.
IStillImageW* HeldStillImage();
IStiDevice* HeldStiDevice();

// 1 when the service object and the device object were both created.
int OpenStiDevice(WStringView internalName);
// Releases the device object, then the service object, and empties both.
void ReleaseStiDevice();

// 1 when the request was written to the held device.
int UsbSendRequest(XhDocument doc, const XmlHttpApi& api);
// 1 when a reply was read and parsed into |doc|.
int UsbReceiveResponse(XhDocument doc, const XmlHttpApi& api);
// Send, then (only after a successful send) receive.
int UsbTransact(XhDocument doc, const XmlHttpApi& api);

}  // namespace tallow
