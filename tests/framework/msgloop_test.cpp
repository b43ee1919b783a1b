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
