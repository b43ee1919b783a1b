// The window thread's message loop: queued messages first, then window timers.
//
// Timers follow the rules of window timers: arming an armed timer restarts it with the new
// period; a tick is generated only when no message is waiting; a tick that comes late is
// delivered once, as soon as the thread is free, and missed ticks are neither made up nor
// queued. Time is the injected clock's, so tests can run timers in virtual time.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "framework/afx.h"
#include "platform/clock.h"

namespace zfw {

class MessageLoop {
 public:
  explicit MessageLoop(zv::IClock& clock) : clock_(clock) {}

  // Thread-safe: queues a task for the window thread.
  void Post(std::function<void()> task);
  // Thread-safe: makes Run() return after the message being handled.
  void Quit();
  bool QuitRequested() const;

  // The longest period a timer runs at; longer ones are held at it.
  static constexpr UINT kMaxTimerPeriodMs = 0x7FFFFFFF;

  // Thread-safe. Arming an armed timer restarts it; a period of 0 acts as 1 ms, one above
  // kMaxTimerPeriodMs as kMaxTimerPeriodMs.
  void SetTimer(UINT_PTR id, UINT periodMs);
  // Thread-safe. Returns whether the timer was armed.
  bool KillTimer(UINT_PTR id);
  // The period of an armed timer, nothing when it is not armed.
  std::optional<UINT> TimerPeriod(UINT_PTR id) const;
  // Called on the window thread with the timer's id at each tick.
  void SetTimerHandler(std::function<void(UINT_PTR)> handler) { onTimer_ = std::move(handler); }

  // Window thread: runs until Quit(), waiting in real time for messages and timers.
  void Run();
  // Window thread, for tests: runs the messages and the ticks that fall due within the next
  // ms milliseconds of the clock, sleeping on the clock (a virtual clock just advances).
  void RunFor(uint32_t ms);
  // Window thread: runs the queued messages (and those they queue); no timers.
  int ProcessPending();

 private:
  struct Timer {
    UINT period = 0;
    uint32_t due = 0;
  };
  bool RunOneMessage();
  // The armed timer that falls due first, if any.
  std::optional<std::pair<UINT_PTR, uint32_t>> NextTimer() const;
  void FireTimer(UINT_PTR id);

  zv::IClock& clock_;
  mutable std::mutex mu_;  // guards queue_, timers_, quit_
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  std::map<UINT_PTR, Timer> timers_;
  bool quit_ = false;
  std::function<void(UINT_PTR)> onTimer_;  // window thread only
};

}  // namespace zfw
