#include "device/stall_limit.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace tallow {

namespace {

constexpr long kDefaultStallMs = 30000;
constexpr long kLongestStallMs = 24L * 3600 * 1000;

}  // namespace

std::chrono::milliseconds TransferStallLimit() {
  const char* text = std::getenv("KIVOR_STALL_TIMEOUT_MS");
  long value = 0;
  if (text && *text) {
    const char* end = text + std::strlen(text);
    auto [p, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || p != end || value <= 0 || value > kLongestStallMs) value = 0;
  }
  return std::chrono::milliseconds(value > 0 ? value : kDefaultStallMs);
}

}  // namespace tallow
