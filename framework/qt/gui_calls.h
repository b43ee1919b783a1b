// Calls handed from any thread to the thread a GuiCalls object lives on (the GUI thread).
//
// Qt's own queued calls would do the same, but Qt is not built with the thread checker, so
// the lock that orders a queued call is invisible to it and every closure built on one thread
// and run on another looks like a data race. Here the closures travel through a queue under
// a std::mutex, which the checker sees, and Qt only carries a wake-up event with no data.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace zfw::qtview_detail {

class GuiCalls : public QObject {
 public:
  GuiCalls() = default;
  ~GuiCalls() override = default;  // calls still queued are dropped, unrun

  // Queues fn to run on this object's thread, after every call queued before it. Any thread.
  void Post(std::function<void()> fn);

 protected:
  bool event(QEvent* e) override;

 private:
  void RunNext();

  std::mutex mutex_;                        // guards the two fields below
  std::deque<std::function<void()>> queue_;  // waiting calls, oldest first
  bool wakePending_ = false;                 // a wake-up event is on its way
};

}  // namespace zfw::qtview_detail
