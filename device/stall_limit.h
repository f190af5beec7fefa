// How long a page transfer may go on without progress before it is given
// up: the same limit over USB as over the network.
#pragma once

#include <chrono>
#include <cstdint>

#include "contracts/transfer_limits.h"

namespace tallow {

// 30 s, or the milliseconds of the environment variable
// KIVOR_STALL_TIMEOUT_MS (1 to 24 hours' worth), which the network
// channel's library reads for its transfers.
std::chrono::milliseconds TransferStallLimit();

// A transfer that receives less than this within one stall limit is given
// up as a stalled one, as the network channel's library does.
inline constexpr std::uint64_t kMinBytesPerStall = TRANSFER_MIN_BYTES_PER_STALL;

// Watches a transfer's progress: it has stalled once a whole stall limit
// went by with less than kMinBytesPerStall received, so that a device that
// sends a few bytes now and then is given up as one that sends none. Each
// time another kMinBytesPerStall bytes are in, a new period begins.
class TransferWatch {
 public:
  TransferWatch();
  void Received(std::uint64_t bytes);
  bool Stalled() const;

 private:
  using Clock = std::chrono::steady_clock;
  Clock::duration limit_;
  Clock::time_point periodStart_;
  std::uint64_t periodBytes_ = 0;
};

}  // namespace tallow
