#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#include <timeapi.h>
#endif

namespace zv {

#if defined(_WIN32)

namespace {

// Windows wakes sleeping threads on its timer tick, 15.6 ms unless a program asks for finer:
// the reply waits sleep 1 ms per poll, and the page wait counts its polls, so they need the
// 1 ms tick. Asked for once and kept for the life of the process.
void AskForMillisecondTimer() {
  static const bool asked = [] { return timeBeginPeriod(1) == TIMERR_NOERROR; }();
  (void)asked;
}

int64_t PerformanceFrequency() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return f.QuadPart > 0 ? static_cast<int64_t>(f.QuadPart) : int64_t{1000};
  }();
  return frequency;
}

}  // namespace

// The performance counter is monotonic and fine-grained; GetTickCount moves in 10-16 ms steps,
// too coarse for a 30 ms reply window.
uint32_t SteadyClock::TickCount() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const int64_t f = PerformanceFrequency();
  const int64_t ms = now.QuadPart / f * 1000 + now.QuadPart % f * 1000 / f;
  return static_cast<uint32_t>(ms);
}

void SteadyClock::Sleep(uint32_t ms) {
  AskForMillisecondTimer();
  ::Sleep(ms);
}

LocalTime SteadyClock::Now() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

#else

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
  localtime_r(&t, &tm);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                   tm.tm_min,         tm.tm_sec,     static_cast<int>(ms)};
}

#endif

LocalTime VirtualClock::Now() {
  std::lock_guard lock(mu_);
  return local_;
}

void VirtualClock::SetLocalTime(const LocalTime& t) {
  std::lock_guard lock(mu_);
  local_ = t;
}

}  // namespace zv
