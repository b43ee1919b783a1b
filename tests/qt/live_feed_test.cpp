// The hand-over of live readings: pushed on one thread, taken on another.
#include <gtest/gtest.h>

#include <thread>

#include "framework/qt/chart/live_feed.h"

namespace {

// What crosses from the window thread: every reading once, in the order pushed, with the
// series' order and undated counts kept.
TEST(ChartLiveFeed, MovesEachReadingOnceKeepingOrderAndUndatedCounts) {
  zch::LiveFeed feed;
  zan::Series series;
  const double times[] = {10, 11, zan::kUndated, 12, 11.5};
  for (double t : times) {
    zan::Sample s;
    s.t = t;
    feed.Push(s);
    if (t == 12) {
      EXPECT_EQ(feed.MoveInto(series), 4u);
      EXPECT_TRUE(series.ordered);
    }
  }
  EXPECT_EQ(feed.MoveInto(series), 1u);
  EXPECT_EQ(feed.MoveInto(series), 0u);
  ASSERT_EQ(series.samples.size(), 5u);
  EXPECT_EQ(series.undated, 1u);
  EXPECT_FALSE(series.ordered);  // 11.5 after 12
  EXPECT_EQ(series.samples[3].t, 12);
}

TEST(ChartLiveFeed, ReadingsPushedOnAnotherThreadArriveOnceInOrder) {
  zch::LiveFeed feed;
  zan::Series series;
  constexpr int kReadings = 100000;
  std::thread window([&] {
    for (int i = 0; i < kReadings; ++i) {
      zan::Sample s;
      s.t = i;
      s.current = static_cast<float>(i % 7);
      feed.Push(s);
    }
  });
  while (series.samples.size() < static_cast<std::size_t>(kReadings)) {
    feed.MoveInto(series);
    std::this_thread::yield();
  }
  window.join();
  EXPECT_EQ(feed.MoveInto(series), 0u);
  ASSERT_EQ(series.samples.size(), static_cast<std::size_t>(kReadings));
  EXPECT_TRUE(series.ordered);
  for (int i = 0; i < kReadings; ++i) {
    ASSERT_EQ(series.samples[static_cast<std::size_t>(i)].t, i);
    ASSERT_EQ(series.samples[static_cast<std::size_t>(i)].current, static_cast<float>(i % 7));
  }
}

}  // namespace
