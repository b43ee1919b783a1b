// The blocks' least and greatest values: any range at any width gives what a look at every
// sample gives, wherever the range's edges fall against the blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/decimate.h"
#include "analysis/summary.h"

namespace {

constexpr std::size_t kBlock = zan::Summary::kBlock;
constexpr zan::Channel kChannels[] = {zan::Channel::kCurrent, zan::Channel::kVoltage, zan::Channel::kPower,
                                      zan::Channel::kCounter};

// What a column holds by looking at every sample: the dated ones from `from` to `to`, in equal
// spans of time with the last one closed.
std::vector<zan::Bucket> EverySample(const zan::Series& s, zan::Channel channel, double from, double to,
                                     std::size_t buckets) {
  std::vector<zan::Bucket> out(buckets);
  if (buckets == 0 || !(to > from)) return out;
  const double width = (to - from) / static_cast<double>(buckets);
  for (const zan::Sample& x : s.samples) {
    if (x.t != x.t || x.t < from || x.t > to) continue;
    double v = x.counter;
    if (channel == zan::Channel::kCurrent) v = x.current;
    if (channel == zan::Channel::kVoltage) v = x.voltage;
    if (channel == zan::Channel::kPower) v = s.hasPower ? double{x.power} : double{x.current} * double{x.voltage};
    zan::Bucket& b = out[std::min(buckets - 1, static_cast<std::size_t>((x.t - from) / width))];
    b.min = b.count == 0 ? v : std::min(b.min, v);
    b.max = b.count == 0 ? v : std::max(b.max, v);
    ++b.count;
  }
  return out;
}

void ExpectSame(const std::vector<zan::Bucket>& got, const std::vector<zan::Bucket>& want, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t k = 0; k < got.size(); ++k) {
    ASSERT_EQ(got[k].count, want[k].count) << what << ", column " << k;
    if (want[k].count == 0) continue;
    ASSERT_EQ(got[k].min, want[k].min) << what << ", column " << k;
    ASSERT_EQ(got[k].max, want[k].max) << what << ", column " << k;
  }
}

struct View {
  double from, to;
  std::size_t buckets;
};

// Every channel of every view, against every sample and against the decimation that walks them.
void ExpectViews(const zan::Series& s, const zan::Summary& summary, const std::vector<View>& views,
                 const std::string& what) {
  for (const View& v : views) {
    for (const zan::Channel c : kChannels) {
      const std::string name = what + ", " + std::to_string(v.from) + ".." + std::to_string(v.to) + " in " +
                               std::to_string(v.buckets) + ", channel " + std::to_string(static_cast<int>(c));
      const auto got = summary.Decimate(s, c, v.from, v.to, v.buckets);
      ExpectSame(got, EverySample(s, c, v.from, v.to, v.buckets), name);
      ExpectSame(got, zan::Decimate(s, c, v.from, v.to, v.buckets), name + " (walked)");
    }
  }
}

// Values that go up and down without a pattern the blocks could line up with.
struct Noise {
  std::uint32_t state = 12345;
  float Next(float scale) {
    state = state * 1664525u + 1013904223u;
    return scale * static_cast<float>(static_cast<int>(state >> 8) % 2001 - 1000) / 1000.0f;
  }
};

// n samples a second apart from t = 0, none from 1000 to 1499 s (the logger was off).
zan::Series Designed(std::size_t n, bool hasPower = false) {
  zan::Series s;
  s.hasPower = hasPower;
  s.hasCounter = true;
  Noise noise;
  for (std::size_t i = 0, t = 0; i < n; ++i, ++t) {
    if (t == 1000) t = 1500;
    zan::Sample x;
    x.t = static_cast<double>(t);
    x.current = noise.Next(10);
    x.voltage = 25 + noise.Next(2);
    x.power = hasPower ? noise.Next(250) : 0;
    x.counter = static_cast<float>(i) / 100 + noise.Next(0.5f);
    s.samples.push_back(x);
  }
  return s;
}

// Views whose edges fall on, next to and between the blocks of a series of n samples from
// t = 0 with the gap of Designed.
std::vector<View> EdgeViews(std::size_t n) {
  const auto t = [](std::size_t i) { return static_cast<double>(i < 1000 ? i : i + 500); };
  const double last = t(n - 1);
  std::vector<View> views = {
      {0, last, 1},           {0, last, 7},           {0, last, 1600},          {-100, last + 100, 333},
      {0, last, 5 * n},       {t(kBlock), last, 64},  {t(kBlock) - 1, t(3 * kBlock) + 1, 5},
      {t(kBlock) - 0.5, t(2 * kBlock) - 0.5, 3},      {t(2 * kBlock), t(2 * kBlock), 4},  // empty: no span
      {t(2 * kBlock) + 3, t(2 * kBlock) + 20, 4},     {t(2 * kBlock) + 3, t(2 * kBlock) + 20, 100},  // in one block
      {t(kBlock) + 0.25, t(kBlock) + 0.75, 2},        // between two samples
      {t(kBlock), t(kBlock) + 0.5, 3},                // one sample
      {1001, 1400, 10},                               // in the gap
      {last + 1, last + 50, 10},  {-50, -1, 10},      // past either end
      {990, 1510, 520},           {990, 1510, 17},     // across the gap
      {last - 10, last, 4},       {last - 0.5, last + 0.5, 9},  // the samples after the last whole block
  };
  for (std::size_t k = 1; k < 8; ++k) views.push_back({t(k * kBlock - 1), t(k * 5 * kBlock), 7 * k});
  return views;
}

TEST(Summary, EveryViewAsEverySampleGivesIt) {
  for (const std::size_t n : {std::size_t{37} * kBlock + 13, std::size_t{64} * kBlock, kBlock, kBlock + 1}) {
    for (const bool power : {false, true}) {
      const zan::Series s = Designed(n, power);
      zan::Summary summary;
      summary.Extend(s);
      ExpectViews(s, summary, EdgeViews(n), std::to_string(n) + " samples" + (power ? " with power" : ""));
    }
  }
}

TEST(Summary, ShortSeriesLieOutsideAnyBlock) {
  for (const std::size_t n : {std::size_t{0}, std::size_t{1}, kBlock - 1}) {
    const zan::Series s = Designed(n);
    zan::Summary summary;
    summary.Extend(s);
    EXPECT_EQ(summary.Covered(), 0u);
    const double last = n == 0 ? 0 : s.samples.back().t;
    ExpectViews(s, summary, {{0, last, 10}, {-1, last + 1, 3}, {0, 1, 1}, {-1, 0, 2}},
                std::to_string(n) + " samples");
  }
  const zan::Series one = Designed(1);
  zan::Summary summary;
  summary.Extend(one);
  const auto b = summary.Decimate(one, zan::Channel::kVoltage, -1, 1, 2);
  ASSERT_EQ(b[1].count, 1u);
  EXPECT_EQ(b[1].min, double{one.samples[0].voltage});
  EXPECT_EQ(b[1].max, b[1].min);
  EXPECT_TRUE(summary.Decimate(one, zan::Channel::kVoltage, -1, 1, 0).empty());
}

TEST(Summary, UndatedRowsAndAClockSetBack) {
  zan::Series s = Designed(20 * kBlock + 5);
  // Undated rows: a run filling a block and more, at the start and inside a block.
  for (std::size_t i = 0; i < kBlock + 10; ++i) s.samples[3 * kBlock + i].t = zan::kUndated;
  for (std::size_t i = 0; i < 3; ++i) s.samples[i].t = zan::kUndated;
  s.samples[10 * kBlock + 7].t = zan::kUndated;
  s.undated = kBlock + 14;
  ExpectViews(s, [&] { zan::Summary m; m.Extend(s); return m; }(), EdgeViews(s.samples.size()), "undated rows");

  // The clock set back half way: the blocks across the step span most of the time line.
  zan::Series back = Designed(20 * kBlock);
  for (std::size_t i = 10 * kBlock + 9; i < back.samples.size(); ++i) back.samples[i].t -= 600;
  back.ordered = false;
  zan::Summary summary;
  summary.Extend(back);
  ExpectViews(back, summary, EdgeViews(back.samples.size()), "clock set back");
}

TEST(Summary, GrowsWithTheSeries) {
  const zan::Series whole = Designed(40 * kBlock + 30);
  zan::Series live;
  zan::Summary summary;
  std::size_t at = 0;
  for (const std::size_t step : {std::size_t{1}, kBlock - 2, std::size_t{1}, std::size_t{3} * kBlock, std::size_t{7},
                                 std::size_t{30} * kBlock, whole.samples.size()}) {
    const std::size_t to = std::min(whole.samples.size(), at + step);
    live.samples.insert(live.samples.end(), whole.samples.begin() + static_cast<std::ptrdiff_t>(at),
                        whole.samples.begin() + static_cast<std::ptrdiff_t>(to));
    at = to;
    summary.Extend(live);
    EXPECT_EQ(summary.Covered(), at / kBlock * kBlock);
    ExpectViews(live, summary, {{0, live.samples.back().t, 100}, {0, live.samples.back().t, 3}},
                std::to_string(at) + " samples so far");
  }
  // Another series after Clear(): nothing of the first is left.
  const zan::Series other = Designed(5 * kBlock, true);
  summary.Clear();
  summary.Extend(other);
  ExpectViews(other, summary, EdgeViews(other.samples.size()), "after Clear");
}

TEST(Summary, SmallBesideTheSamples) {
  const zan::Series s = Designed(std::size_t{1} << 16);
  zan::Summary summary;
  summary.Extend(s);
  EXPECT_LE(summary.Bytes(), s.samples.size() * sizeof(zan::Sample) / 8);
}

}  // namespace
