// Helpers for driving Qt from tests without QtTest: run the event loop until something shows,
// and run code on a second thread that stands in for the window thread.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <future>
#include <thread>

namespace zfw::testing {

// Processes Qt events until pred() holds; false if it still does not after `limit` (a limit
// for a hung test, not a timing requirement).
template <typename Pred>
bool ProcessUntil(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Processes every event that is already waiting (and what those post in turn).
inline void Drain() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Runs fn on a thread of its own while this (GUI) thread keeps processing events, and
// returns its result: the calls that block on the GUI thread get their answer.
template <typename Fn>
auto OnWindowThread(Fn fn) {
  auto done = std::async(std::launch::async, std::move(fn));
  EXPECT_TRUE(ProcessUntil(
      [&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  return done.get();
}

}  // namespace zfw::testing
