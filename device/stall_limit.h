// How long a page transfer may go on without progress before it is given
// up: the same limit over USB as over the network.
#pragma once

#include <chrono>

namespace tallow {

// 30 s, or the milliseconds of the environment variable
// KIVOR_STALL_TIMEOUT_MS (1 to 24 hours' worth), which the network
// channel's library reads for its transfers.
std::chrono::milliseconds TransferStallLimit();

}  // namespace tallow
