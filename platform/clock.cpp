#include "platform/clock.h"

#include <mutex>
#include <utility>

namespace tallow {

namespace {

std::mutex g_sourcesLock;
std::function<DWORD()> g_tickSource;
std::function<std::int64_t()> g_timeSource;

// Called outside the lock, so that a source may use the clock itself.
template <typename Fn>
Fn Copy(const Fn& source) {
  std::lock_guard<std::mutex> lock(g_sourcesLock);
  return source;
}

}  // namespace

DWORD GetTickCount() {
  if (auto source = Copy(g_tickSource)) return source();
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                     static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}

std::int64_t GetCurrentTime64() {
  if (auto source = Copy(g_timeSource)) return source();
  return static_cast<std::int64_t>(std::time(nullptr));
}

bool LocalTime64(std::int64_t time, std::tm* out) {
  if (!out) return false;
  std::time_t t = static_cast<std::time_t>(time);
  if (static_cast<std::int64_t>(t) != time) return false;
  return ::localtime_r(&t, out) != nullptr;
}

void SetTickCountSourceForTests(std::function<DWORD()> source) {
  std::lock_guard<std::mutex> lock(g_sourcesLock);
  g_tickSource = std::move(source);
}

void SetCurrentTimeSourceForTests(std::function<std::int64_t()> source) {
  std::lock_guard<std::mutex> lock(g_sourcesLock);
  g_timeSource = std::move(source);
}

}  // namespace tallow
