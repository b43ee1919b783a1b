#include "framework/msgloop.h"

#include <chrono>

namespace zfw {
namespace {
// Whether tick a is at or after tick b on a wrapping 32-bit clock.
bool AtOrAfter(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) >= 0; }
}  // namespace

// Notifying under the lock: the window thread cannot take the message, finish and destroy
// the loop while another thread is still inside the notification.
void MessageLoop::Post(std::function<void()> task) {
  std::lock_guard lock(mu_);
  queue_.push_back(std::move(task));
  wake_.notify_all();
}

void MessageLoop::Quit() {
  std::lock_guard lock(mu_);
  quit_ = true;
  wake_.notify_all();
}

bool MessageLoop::QuitRequested() const {
  std::lock_guard lock(mu_);
  return quit_;
}

void MessageLoop::SetTimer(UINT_PTR id, UINT periodMs) {
  if (periodMs == 0) periodMs = 1;
  // Due times are compared as signed distances on the wrapping tick counter, so a period must
  // stay below half its range; the platform's timers hold longer ones at the same largest.
  if (periodMs > kMaxTimerPeriodMs) periodMs = kMaxTimerPeriodMs;
  std::lock_guard lock(mu_);
  timers_[id] = Timer{periodMs, clock_.TickCount() + periodMs};
  wake_.notify_all();
}

bool MessageLoop::KillTimer(UINT_PTR id) {
  std::lock_guard lock(mu_);
  return timers_.erase(id) > 0;
}

std::optional<UINT> MessageLoop::TimerPeriod(UINT_PTR id) const {
  std::lock_guard lock(mu_);
  auto it = timers_.find(id);
  if (it == timers_.end()) return std::nullopt;
  return it->second.period;
}

bool MessageLoop::RunOneMessage() {
  std::function<void()> task;
  {
    std::lock_guard lock(mu_);
    if (queue_.empty()) return false;
    task = std::move(queue_.front());
    queue_.pop_front();
  }
  task();
  return true;
}

int MessageLoop::ProcessPending() {
  int count = 0;
  while (!QuitRequested() && RunOneMessage()) ++count;
  return count;
}

std::optional<std::pair<UINT_PTR, uint32_t>> MessageLoop::NextTimer() const {
  std::lock_guard lock(mu_);
  std::optional<std::pair<UINT_PTR, uint32_t>> best;
  const uint32_t now = clock_.TickCount();
  for (const auto& [id, t] : timers_) {
    // Compare by distance from now so that wrapping tick values order correctly.
    if (!best || static_cast<int32_t>(t.due - now) < static_cast<int32_t>(best->second - now)) best = {id, t.due};
  }
  return best;
}

void MessageLoop::FireTimer(UINT_PTR id) {
  {
    std::lock_guard lock(mu_);
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    // The next tick is one period after this one is delivered: a late tick is not made up.
    it->second.due = clock_.TickCount() + it->second.period;
  }
  if (onTimer_) onTimer_(id);
}

void MessageLoop::Run() {
  while (!QuitRequested()) {
    if (RunOneMessage()) continue;
    const auto next = NextTimer();
    const uint32_t now = clock_.TickCount();
    if (next && AtOrAfter(now, next->second)) {
      FireTimer(next->first);
      continue;
    }
    std::unique_lock lock(mu_);
    if (!queue_.empty() || quit_) continue;
    if (next) {
      wake_.wait_for(lock, std::chrono::milliseconds(next->second - now));
    } else {
      wake_.wait(lock);
    }
  }
}

void MessageLoop::RunFor(uint32_t ms) {
  const uint32_t end = clock_.TickCount() + ms;
  while (!QuitRequested()) {
    if (RunOneMessage()) continue;
    const uint32_t now = clock_.TickCount();
    const auto next = NextTimer();
    if (next && AtOrAfter(end, next->second)) {
      if (!AtOrAfter(now, next->second)) clock_.Sleep(next->second - now);
      FireTimer(next->first);
      continue;
    }
    if (!AtOrAfter(now, end)) clock_.Sleep(end - now);
    ProcessPending();
    return;
  }
}

}  // namespace zfw
