// The socket wire between the Still Image stand-in and a simulated USB
// device (docs/usb-transport.md): each call of a device object is one
// message, answered by the call's result and the bytes it read.
#pragma once

#include <cstdint>

namespace standin::wire {

// Operations of a message.
inline constexpr std::uint32_t kOpEscape = 1;
inline constexpr std::uint32_t kOpCommand = 2;       // the request bytes, after an escape
inline constexpr std::uint32_t kOpCommandBlock = 3;  // packet code and the bytes a block points at
inline constexpr std::uint32_t kOpRead = 4;

// The largest request (the XML library's own limit); a message holds at
// most that and a packet code in front of it.
inline constexpr std::uint32_t kMaxRequestBytes = std::uint32_t{16} << 20;
inline constexpr std::uint32_t kMaxMessageBytes = kMaxRequestBytes + 4;

}  // namespace standin::wire
