// One search on the network: the question to every configured address, the
// answers collected until the wait is over.
#pragma once

#include <cstdint>
#include <vector>

#include "answer.h"

namespace yomba {

// Asks |addresses| (host order) on UDP |port| and collects the answers for
// |waitMs| milliseconds. Nothing on a socket error.
std::vector<Found> Search(std::uint16_t port, const std::vector<std::uint32_t>& addresses,
                          int waitMs);

}  // namespace yomba
