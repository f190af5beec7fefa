#include "device/stall_limit.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace tallow {

namespace {

constexpr long kDefaultStallMs = TRANSFER_DEFAULT_STALL_MS;
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

TransferWatch::TransferWatch() : limit_(TransferStallLimit()), periodStart_(Clock::now()) {}

void TransferWatch::Received(std::uint64_t bytes) {
  periodBytes_ += bytes;
  if (periodBytes_ >= kMinBytesPerStall) {
    periodBytes_ = 0;
    periodStart_ = Clock::now();
  }
}

bool TransferWatch::Stalled() const { return Clock::now() - periodStart_ >= limit_; }

}  // namespace tallow
