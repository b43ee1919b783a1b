// A series at the screen's width: the least and greatest value in each span of time.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/decimate.h"
#include "analysis/series.h"

namespace {

// One sample a second from t = 0 to 99, the voltage equal to the time and the current minus
// it, with a spike of 1000 V at t = 55 and nothing from 30 to 39.
zan::Series Ramp() {
  zan::Series s;
  for (int t = 0; t < 100; ++t) {
    if (t >= 30 && t < 40) continue;
    zan::Sample x;
    x.t = t;
    x.voltage = static_cast<float>(t == 55 ? 1000 : t);
    x.current = static_cast<float>(-t);
    x.counter = static_cast<float>(t) / 10;
    s.samples.push_back(x);
  }
  return s;
}

void ExpectRamp(const std::vector<zan::Bucket>& b, const std::string& what) {
  ASSERT_EQ(b.size(), 10u) << what;
  for (std::size_t k = 0; k < 10; ++k) {
    if (k == 3) {
      EXPECT_EQ(b[k].count, 0u) << what;
      continue;
    }
    EXPECT_EQ(b[k].count, 10u) << what << " " << k;
    EXPECT_DOUBLE_EQ(b[k].min, 10.0 * static_cast<double>(k)) << what << " " << k;
    EXPECT_DOUBLE_EQ(b[k].max, k == 5 ? 1000.0 : 10.0 * static_cast<double>(k) + 9) << what << " " << k;
  }
}

TEST(Decimate, LeastAndGreatestOfEachSpan) {
  const zan::Series ordered = Ramp();
  ExpectRamp(zan::Decimate(ordered, zan::Channel::kVoltage, 0, 100, 10), "in order");

  // Out of order, and with undated rows: every sample is looked at, the undated ones left out.
  zan::Series shuffled = ordered;
  std::reverse(shuffled.samples.begin(), shuffled.samples.end());
  shuffled.ordered = false;
  zan::Sample undated;
  undated.voltage = -5000;
  shuffled.samples.insert(shuffled.samples.begin() + 7, undated);
  shuffled.undated = 1;
  ExpectRamp(zan::Decimate(shuffled, zan::Channel::kVoltage, 0, 100, 10), "out of order");
}

TEST(Decimate, AViewOfPartOfTheSeriesAndTheOtherChannels) {
  const zan::Series s = Ramp();
  const auto part = zan::Decimate(s, zan::Channel::kCurrent, 20, 50, 3);
  ASSERT_EQ(part.size(), 3u);
  EXPECT_EQ(part[0].count, 10u);
  EXPECT_DOUBLE_EQ(part[0].min, -29);
  EXPECT_DOUBLE_EQ(part[0].max, -20);
  EXPECT_EQ(part[1].count, 0u);
  // The last span is closed: t = 50 belongs to it.
  EXPECT_EQ(part[2].count, 11u);
  EXPECT_DOUBLE_EQ(part[2].min, -50);

  // A dump has no power column: voltage times current.
  const auto power = zan::Decimate(s, zan::Channel::kPower, 0, 10, 1);
  EXPECT_DOUBLE_EQ(power[0].min, -100);
  EXPECT_DOUBLE_EQ(power[0].max, 0);
  const auto counter = zan::Decimate(s, zan::Channel::kCounter, 90, 99, 1);
  EXPECT_NEAR(counter[0].max, 9.9, 1e-6);

  EXPECT_TRUE(zan::Decimate(s, zan::Channel::kVoltage, 0, 100, 0).empty());
  EXPECT_EQ(zan::Decimate(s, zan::Channel::kVoltage, 10, 10, 4)[0].count, 0u);
  EXPECT_EQ(zan::Decimate(zan::Series{}, zan::Channel::kVoltage, 0, 1, 4).size(), 4u);
}

}  // namespace
