// Clocks: the millisecond tick count, the current calendar time and its
// local broken-down form. Tests may replace the tick count and the current
// time with sources of their own.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>

#include "platform/result.h"

namespace tallow {

// Milliseconds since an arbitrary start (the system's start), wrapping at
// 2^32 like the other system's tick count.
DWORD GetTickCount();

// Seconds since 1970-01-01 UTC.
std::int64_t GetCurrentTime64();

// Local broken-down time of |time|; false when it cannot be represented.
bool LocalTime64(std::int64_t time, std::tm* out);

// An empty function restores the real clock.
void SetTickCountSourceForTests(std::function<DWORD()> source);
void SetCurrentTimeSourceForTests(std::function<std::int64_t()> source);

}  // namespace tallow
