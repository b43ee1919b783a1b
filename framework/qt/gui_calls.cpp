#include "framework/qt/gui_calls.h"

#include <QCoreApplication>
#include <QEvent>
#include <utility>

namespace zfw::qtview_detail {

namespace {
const QEvent::Type kRunNext = static_cast<QEvent::Type>(QEvent::registerEventType());
}

void GuiCalls::Post(std::function<void()> fn) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
    wake = !wakePending_;
    wakePending_ = true;
  }
  if (wake) QCoreApplication::postEvent(this, new QEvent(kRunNext));
}

bool GuiCalls::event(QEvent* e) {
  if (e->type() != kRunNext) return QObject::event(e);
  RunNext();
  return true;
}

// One call per wake-up, the next wake-up posted before the call runs: a call that opens a
// nested event loop (a modal dialog) lets the calls behind it run inside that loop, in order,
// just as Qt's own queued calls would.
void GuiCalls::RunNext() {
  std::function<void()> fn;
  bool more = false;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) {
      wakePending_ = false;
      return;
    }
    fn = std::move(queue_.front());
    queue_.pop_front();
    more = !queue_.empty();
    wakePending_ = more;
  }
  if (more) QCoreApplication::postEvent(this, new QEvent(kRunNext));
  fn();
}

}  // namespace zfw::qtview_detail
