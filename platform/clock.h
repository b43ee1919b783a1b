// Time as the program sees it: a wrapping millisecond tick count, a sleep, and the local
// calendar time. Everything that waits or stamps goes through an IClock so that tests can
// run waits and timers in virtual time.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace zv {

struct LocalTime {
  int year = 2000;  // full year, e.g. 2024
  int month = 1;    // 1-12
  int day = 1;      // 1-31
  int hour = 0;     // 0-23
  int minute = 0;   // 0-59
  int second = 0;   // 0-59
  int millisecond = 0;
};

class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds on a monotonic clock, wrapping at 2^32 like a tick counter.
  virtual uint32_t TickCount() = 0;
  // Blocks the calling thread for at least ms milliseconds (a virtual clock advances instead).
  virtual void Sleep(uint32_t ms) = 0;
  // The PC's local calendar time.
  virtual LocalTime Now() = 0;
};

// The real clock: the monotonic clock for ticks (steady_clock; the performance counter on
// Windows, with the 1 ms timer tick for sleeps), the system's local time zone for Now().
class SteadyClock final : public IClock {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t ms) override;
  LocalTime Now() override;
};

// A clock that only moves when told to, or when a caller sleeps on it. Thread-safe.
class VirtualClock final : public IClock {
 public:
  explicit VirtualClock(uint32_t startTick = 1000) : tick_(startTick) {}
  uint32_t TickCount() override { return tick_.load(); }
  void Sleep(uint32_t ms) override {
    slept_.fetch_add(ms);
    Advance(ms);
  }
  LocalTime Now() override;

  void Advance(uint32_t ms) { tick_.fetch_add(ms); }
  void SetTick(uint32_t tick) { tick_.store(tick); }
  void SetLocalTime(const LocalTime& t);
  // Total milliseconds slept through Sleep(), for tests that check how long a wait lasted.
  uint64_t SleptMs() const { return slept_.load(); }

 private:
  std::atomic<uint32_t> tick_;
  std::atomic<uint64_t> slept_{0};
  mutable std::mutex mu_;
  LocalTime local_{};  // guarded by mu_
};

}  // namespace zv
