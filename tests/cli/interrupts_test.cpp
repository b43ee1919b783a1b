// The main thread's word that its clean-up is done, as the console-close handler on Windows
// waits for it before it lets the system end the process.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cli/interrupts.h"

namespace {

using std::chrono::milliseconds;

TEST(CleanupSignal, AWaiterGoesOnOnlyOnceTheCleanUpIsDone) {
  zcli::CleanupSignal signal;
  EXPECT_FALSE(signal.WaitDone(milliseconds(30))) << "no word yet: the wait ends at its limit";

  std::atomic<bool> returned{false};
  bool done = false;
  std::thread handler([&] {
    done = signal.WaitDone(milliseconds(60000));
    returned = true;
  });
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_FALSE(returned) << "the waiter goes on before the clean-up";
  signal.Done();
  handler.join();
  EXPECT_TRUE(done);
  EXPECT_TRUE(signal.WaitDone(milliseconds(0))) << "a word given stays given";
}

}  // namespace
