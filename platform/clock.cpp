#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace zv {

uint32_t SteadyClock::TickCount() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count());
}

void SteadyClock::Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

LocalTime SteadyClock::Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
#if defined(_WIN32)
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                   tm.tm_min,         tm.tm_sec,     static_cast<int>(ms)};
}

LocalTime VirtualClock::Now() {
  std::lock_guard lock(mu_);
  return local_;
}

void VirtualClock::SetLocalTime(const LocalTime& t) {
  std::lock_guard lock(mu_);
  local_ = t;
}

}  // namespace zv
