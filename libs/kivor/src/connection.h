// The connection behind an XhConnection handle: the MFP's host and one reused
// curl handle whose TCP connections live in a process-wide pool.
#pragma once

#include <cstdint>
#include <string>

#include "contracts/transfer_limits.h"
#include "document.h"

namespace kivor {

inline constexpr std::size_t kMaxPageBytes = std::size_t{256} << 20;
inline constexpr long kDefaultConnectTimeoutMs = 10000;
inline constexpr long kDefaultStallTimeoutMs = TRANSFER_DEFAULT_STALL_MS;
// A transfer that receives less than this within one stall time is abandoned
// as a stalled one: a device that trickles must not hold the caller for ever.
inline constexpr long kMinBytesPerStall = TRANSFER_MIN_BYTES_PER_STALL;
inline constexpr long kPostTimeoutSeconds = 120;
inline constexpr long kReceiveBufferBytes = 256 * 1024;

struct Connection;

// Sets up libcurl for the process once; false when it cannot be.
bool EnsureCurl();

// The host as it goes into a URL ("[::1]" for an IPv6 literal), or an empty
// string when |host| is not an acceptable host name or address.
std::string UrlHost(const char* host);

Connection* NewConnection(const char* host);
void DeleteConnection(Connection* conn);

bool Post(Connection& conn, uint16_t port, const char* path, Document& doc);
bool GetToFile(Connection& conn, uint16_t port, const char* path, const Document& doc,
               const char* localFile);

}  // namespace kivor
