// The PC clock's calendar time is the local time of the process's time zone: the clock write
// sends it to the logger as it is, and a logger set to UTC relabelled would be hours off.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/clock.h"

namespace {

class TimeZone {
 public:
  explicit TimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~TimeZone() {
    if (hadOld_) setenv("TZ", old_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  std::string old_;
  bool hadOld_ = false;
};

int MinutesOfDay(int hour, int minute) { return hour * 60 + minute; }

TEST(SteadyClockNow, IsTheLocalTimeOfTheProcessTimeZone) {
  zv::SteadyClock clock;
  for (const auto& [tz, offsetMinutes] : {std::pair{"UTC0", 0}, std::pair{"JST-9", 9 * 60}, std::pair{"XST+5:30", -330}}) {
    TimeZone zone(tz);
    const std::time_t t = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&t, &utc);
    const zv::LocalTime local = clock.Now();
    const int expected = ((MinutesOfDay(utc.tm_hour, utc.tm_min) + offsetMinutes) % 1440 + 1440) % 1440;
    // A minute may turn between the two readings.
    const int got = MinutesOfDay(local.hour, local.minute);
    EXPECT_TRUE(got == expected || got == (expected + 1) % 1440) << tz << ": " << got << " vs " << expected;
  }
}

}  // namespace
