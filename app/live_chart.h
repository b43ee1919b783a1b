// The chart of the live readings in the desktop program. It hears the main window's events on
// the window thread and hands each reading, copied, to the GUI thread through the view's
// queue; there the readings wait in a LiveFeed until the chart window takes them. So the
// chart holds every reading since the main window opened, whenever the person opens it, and
// the window thread stays the one owner of the window's state.
#pragma once

#include <QIcon>
#include <QString>
#include <memory>

#include "analysis/series.h"
#include "dialog/window_events.h"

namespace zfw {
class QtView;
}
namespace zch {
class ChartWindow;
}

// A measurement as a chart sample: the logger's time as seconds (kUndated when its clock
// names no calendar time), the values as decoded.
zan::Sample SampleOf(const zv::Measurement& m);

class LiveChart final : public zv::IWindowEvents {
 public:
  // GUI thread. Becomes the view's chart opener; the view must outlive it.
  LiveChart(zfw::QtView& view, QIcon icon = {});
  // GUI thread, once the main window no longer calls it.
  ~LiveChart() override;
  LiveChart(const LiveChart&) = delete;
  LiveChart& operator=(const LiveChart&) = delete;

  // Window thread.
  void OnMeasurement(const zv::Measurement& m) override;
  void OnLoggerBack(const zv::LoggerIdentity& identity) override;
  void OnOperationEnded(const zv::OperationEnd& end) override;

  // GUI thread: the chart window, nullptr until the first request opened it.
  zch::ChartWindow* Window() const;

 private:
  struct Gui;
  void Identify(const zv::LoggerIdentity& identity);

  zfw::QtView& view_;
  const std::shared_ptr<Gui> gui_;  // GUI thread only, but for the pointer itself
};
