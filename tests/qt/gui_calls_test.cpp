// The queue that carries calls from other threads to the GUI thread.
#include "framework/qt/gui_calls.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/qt/qt_test_support.h"

namespace zfw::qtview_detail {
namespace {

using zfw::testing::ProcessUntil;

TEST(GuiCallsTest, CallsFromSeveralThreadsRunOnTheGuiThreadInEachThreadsOrder) {
  GuiCalls calls;
  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  std::vector<std::vector<int>> seen(kThreads);  // GUI thread only
  int ran = 0;                                    // GUI thread only
  const std::thread::id gui = std::this_thread::get_id();
  bool offThread = false;

  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i)
        calls.Post([&, t, i] {
          offThread |= std::this_thread::get_id() != gui;
          seen[t].push_back(i);
          ++ran;
        });
    });
  }
  for (auto& p : posters) p.join();
  ASSERT_TRUE(ProcessUntil([&] { return ran == kThreads * kPerThread; }));

  EXPECT_FALSE(offThread);
  for (const auto& s : seen) {
    ASSERT_EQ(s.size(), static_cast<size_t>(kPerThread));
    for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(s[i], i);
  }
}

TEST(GuiCallsTest, CallsBehindANestedLoopRunInsideItInOrder) {
  GuiCalls calls;
  std::vector<int> order;
  calls.Post([&] {
    order.push_back(1);
    QEventLoop nested;  // what a modal dialog opens
    calls.Post([&] { order.push_back(4); });
    calls.Post([&] { nested.quit(); });
    nested.exec();
    order.push_back(5);
  });
  calls.Post([&] { order.push_back(2); });
  calls.Post([&] { order.push_back(3); });
  ASSERT_TRUE(ProcessUntil([&] { return order.size() == 5; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(GuiCallsTest, CallsStillQueuedWhenTheQueueGoesAreDroppedUnrun) {
  auto token = std::make_shared<int>(0);
  bool ran = false;
  {
    GuiCalls calls;
    std::thread([&] { calls.Post([&, token] { ran = true; }); }).join();
  }
  zfw::testing::Drain();
  EXPECT_FALSE(ran);
  EXPECT_EQ(token.use_count(), 1);  // the dropped call let go of what it held
}

}  // namespace
}  // namespace zfw::qtview_detail
