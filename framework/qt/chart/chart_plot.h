// The chart of a series: voltage and current on two axes over time, power and the charge
// counter on demand, the phases shaded and the gaps hatched, and two cursors. Every curve is
// drawn from the least and greatest value in each pixel column of the range shown, taken from
// the blocks of a summary made when the series comes, so a frame costs what the screen holds,
// not what the file holds.
#pragma once

#include <qcustomplot.h>

#include <QTimer>

#include <functional>
#include <memory>
#include <string>

#include "analysis/decimate.h"
#include "analysis/report.h"
#include "analysis/series.h"
#include "analysis/summary.h"
#include "framework/qt/chart/span_figures.h"

namespace zch {

// Seconds of the logger's local time (zan::Sample::t) as the chart's keys: seconds since 1970
// read as UTC, so that the axis shows the stamps as the file writes them.
double ToKey(double t);
double FromKey(double key);

class ChartPlot : public QCustomPlot {
 public:
  explicit ChartPlot(QWidget* parent = nullptr);

  // The series is shared with whoever read it, and not changed while it is shown.
  void SetData(std::shared_ptr<const zan::Series> series, const zan::Report& report);
  // The series has grown at its end (the live view): the time line reaches the newest sample,
  // and a view that showed the end follows it. The phases and gaps shown are the report's.
  void Grow(const zan::Report& report);
  void SetLanguage(int language);  // 0 Russian, 1 English
  void ShowPower(bool on);
  void ShowCounter(bool on);
  void ShowAll();  // the whole file

  // The range shown, in zan::Sample::t seconds.
  double ViewFrom() const;
  double ViewTo() const;
  void SetView(double from, double to);

  void SetCursors(double a, double b);
  double CursorA() const { return cursorT_[0]; }
  double CursorB() const { return cursorT_[1]; }
  SpanFigures Figures() const;
  // Called when a click moves a cursor.
  std::function<void()> onCursorsMoved;

  // PNG, SVG or PDF by the file's suffix, width × height pixels of what is shown.
  bool ExportImage(const QString& path, int width, int height, QString& error);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Redecimate();
  void QueueReplot();  // draws when the events now waiting are done, unless drawn before
  void FillGraph(QCPGraph* graph, zan::Channel channel, double from, double to, int columns);
  void MarkPhases(const zan::Report& report);
  void Captions();
  void PlaceCursor(int which, double t);

  std::shared_ptr<const zan::Series> series_;
  zan::Summary summary_;  // of series_, extended as it grows
  double first_ = 0, last_ = 1;
  double gapSeconds_ = 60;
  bool hasTime_ = false;  // first_ and last_ come from dated samples
  int language_ = 1;
  QCPGraph* voltage_ = nullptr;
  QCPGraph* current_ = nullptr;
  QCPGraph* power_ = nullptr;
  QCPGraph* counter_ = nullptr;
  QCPAxis* powerAxis_ = nullptr;
  QCPAxis* counterAxis_ = nullptr;
  QCPItemStraightLine* cursor_[2] = {nullptr, nullptr};
  double cursorT_[2] = {0, 0};
  bool filling_ = false;
  QTimer redraw_;
  int columns_ = 0;  // the width the curves were decimated for; 0 before the first
};

}  // namespace zch
