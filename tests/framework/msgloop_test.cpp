#include "framework/msgloop.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"

namespace {

struct Tick {
  UINT_PTR id;
  uint32_t at;
};

class MessageLoopTest : public ::testing::Test {
 protected:
  MessageLoopTest() : loop(clock) {
    loop.SetTimerHandler([this](UINT_PTR id) {
      ticks.push_back({id, clock.TickCount() - start});
      if (onTick) onTick(id);
    });
  }
  zv::VirtualClock clock{5000};
  zfw::MessageLoop loop;
  uint32_t start = 5000;
  std::vector<Tick> ticks;
  std::function<void(UINT_PTR)> onTick;
};

TEST_F(MessageLoopTest, TicksAtTheirPeriod) {
  loop.SetTimer(1, 300);
  loop.RunFor(1000);
  ASSERT_EQ(ticks.size(), 3u);
  EXPECT_EQ(ticks[0].at, 300u);
  EXPECT_EQ(ticks[1].at, 600u);
  EXPECT_EQ(ticks[2].at, 900u);
}

TEST_F(MessageLoopTest, ArmingAnArmedTimerRestartsIt) {
  loop.SetTimer(1, 300);
  loop.RunFor(200);
  loop.SetTimer(1, 500);  // restarts from now, with the new period
  EXPECT_EQ(loop.TimerPeriod(1), 500u);
  loop.RunFor(800);
  ASSERT_EQ(ticks.size(), 1u);
  EXPECT_EQ(ticks[0].at, 700u);
}

TEST_F(MessageLoopTest, ALateTickIsNotMadeUpAndTicksDoNotPileUp) {
  // The first tick blocks the thread for a second, as a 10 s reply wait would.
  onTick = [this](UINT_PTR) {
    if (ticks.size() == 1) clock.Sleep(1000);
  };
  loop.SetTimer(1, 300);
  loop.RunFor(1700);
  ASSERT_EQ(ticks.size(), 3u);
  EXPECT_EQ(ticks[0].at, 300u);
  EXPECT_EQ(ticks[1].at, 1300u) << "one tick as soon as the thread is free, none made up";
  EXPECT_EQ(ticks[2].at, 1600u) << "then one period after the late tick";
}

TEST_F(MessageLoopTest, MessagesGoBeforeTicksAndKillStopsATimer) {
  std::vector<int> order;
  loop.SetTimer(2, 100);
  clock.Advance(150);
  loop.Post([&] { order.push_back(1); });
  onTick = [&](UINT_PTR) {
    order.push_back(2);
    loop.KillTimer(2);
  };
  loop.RunFor(1000);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_FALSE(loop.TimerPeriod(2).has_value());
  EXPECT_FALSE(loop.KillTimer(2));
}

TEST_F(MessageLoopTest, TimersSurviveTheTickCounterWrapping) {
  clock.SetTick(0xFFFFFF00u);
  start = 0xFFFFFF00u;
  loop.SetTimer(1, 300);
  loop.RunFor(700);
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_EQ(ticks[0].at, 300u);
  EXPECT_EQ(ticks[1].at, 600u);
}

// Periods past the largest the platform's timers take (-200 typed into a period field arrives
// as 4294967096) are held at that largest, 0x7FFFFFFF ms: the timer waits about 24.8 days,
// wherever the tick counter stands, instead of firing back to back.
struct LongPeriodCase {
  const char* name;
  UINT period;
  uint32_t startTick;
};

class LongPeriod : public MessageLoopTest, public ::testing::WithParamInterface<LongPeriodCase> {};

TEST_P(LongPeriod, IsHeldAtTheLargestPeriodAndDoesNotFireEarly) {
  const LongPeriodCase& c = GetParam();
  clock.SetTick(c.startTick);
  start = c.startTick;
  // A tick takes a millisecond; a timer that fires back to back is stopped after a few.
  onTick = [this](UINT_PTR id) {
    clock.Advance(1);
    if (ticks.size() >= 5) loop.KillTimer(id);
  };
  loop.SetTimer(2, c.period);
  EXPECT_EQ(loop.TimerPeriod(2), 0x7FFFFFFFu);

  loop.RunFor(10'000);
  EXPECT_TRUE(ticks.empty()) << ticks.size() << " ticks in 10 s";

  loop.RunFor(0x7FFFFFFFu - 10'000 - 1);
  EXPECT_TRUE(ticks.empty()) << "a tick before its period was up";
  loop.RunFor(1);
  ASSERT_EQ(ticks.size(), 1u);
  EXPECT_EQ(ticks[0].at, 0x7FFFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(Table, LongPeriod,
                         ::testing::Values(LongPeriodCase{"largest", 0x7FFFFFFFu, 5000},
                                           LongPeriodCase{"one_past_the_largest", 0x80000000u, 5000},
                                           LongPeriodCase{"minus_200_typed", 4294967096u, 5000},
                                           LongPeriodCase{"all_ones", 0xFFFFFFFFu, 5000},
                                           LongPeriodCase{"across_the_counter_wrap", 4294967096u, 0xFFFFFF00u}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MessageLoopTest, QuitEndsRunAndPostsFromOtherThreadsArrive) {
  std::thread other([&] {
    loop.Post([&] { loop.Quit(); });
  });
  zv::SteadyClock real;
  zfw::MessageLoop realLoop(real);
  std::thread poster([&] { realLoop.Post([&] { realLoop.Quit(); }); });
  realLoop.Run();
  poster.join();
  other.join();
  loop.ProcessPending();
  EXPECT_TRUE(loop.QuitRequested());
}

}  // namespace
