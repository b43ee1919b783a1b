#include "sim/device_clock.h"

#include <algorithm>

namespace zv::sim {

namespace {

constexpr int64_t kMsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

const int64_t kEpoch2000Days = DaysFromCivil(2000, 1, 1);

}  // namespace

int64_t CivilToMs(const LocalTime& t) {
  const unsigned month = static_cast<unsigned>(std::clamp(t.month, 1, 12));
  const int64_t days = DaysFromCivil(t.year, month, 1) + (std::max(t.day, 1) - 1) - kEpoch2000Days;
  return days * kMsPerDay + static_cast<int64_t>(t.hour) * 3600000 +
         static_cast<int64_t>(t.minute) * 60000 + static_cast<int64_t>(t.second) * 1000 +
         t.millisecond;
}

LocalTime MsToCivil(int64_t ms) {
  int64_t days = ms / kMsPerDay;
  int64_t rest = ms % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  LocalTime t;
  CivilFromDays(days + kEpoch2000Days, t.year, t.month, t.day);
  t.hour = static_cast<int>(rest / 3600000);
  t.minute = static_cast<int>(rest / 60000 % 60);
  t.second = static_cast<int>(rest / 1000 % 60);
  t.millisecond = static_cast<int>(rest % 1000);
  return t;
}

DeviceClock::DeviceClock(IClock& clock, std::optional<LocalTime> start, bool stopped)
    : watch_(clock), baseMs_(CivilToMs(start ? *start : clock.Now())), stopped_(stopped) {}

void DeviceClock::Set(const LocalTime& t) {
  baseMs_ = CivilToMs(t);
  setAtMs_ = watch_.ElapsedMs();
}

LocalTime DeviceClock::Now() {
  const uint64_t now = watch_.ElapsedMs();
  return MsToCivil(baseMs_ + (stopped_ ? 0 : static_cast<int64_t>(now - setAtMs_)));
}

}  // namespace zv::sim
