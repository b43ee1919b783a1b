// The logger's own calendar clock: it runs from the time it was last set, on the ticks of
// an injectable IClock, so tests can move it with a VirtualClock.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/clock.h"

namespace zv::sim {

// Milliseconds since 2000-01-01 00:00:00.000 on the civil calendar (no time zone); earlier
// times are negative. Months outside 1-12 are clamped; days past the month's end roll over.
int64_t CivilToMs(const LocalTime& t);
LocalTime MsToCivil(int64_t ms);

// Milliseconds elapsed on an IClock since construction, immune to the 32-bit tick wrap as
// long as it is read at least once every 49 days.
class Stopwatch {
 public:
  explicit Stopwatch(IClock& clock) : clock_(&clock), lastTick_(clock.TickCount()) {}
  uint64_t ElapsedMs() {
    const uint32_t now = clock_->TickCount();
    elapsed_ += static_cast<uint32_t>(now - lastTick_);
    lastTick_ = now;
    return elapsed_;
  }

 private:
  IClock* clock_;
  uint32_t lastTick_;
  uint64_t elapsed_ = 0;
};

class DeviceClock {
 public:
  // Starts at `start`, or at the PC's local time (clock.Now()) when none is given. A
  // stopped clock keeps showing the time it was last set to.
  DeviceClock(IClock& clock, std::optional<LocalTime> start, bool stopped = false);

  void Set(const LocalTime& t);
  LocalTime Now();

 private:
  Stopwatch watch_;
  int64_t baseMs_ = 0;
  uint64_t setAtMs_ = 0;
  bool stopped_ = false;
};

}  // namespace zv::sim
