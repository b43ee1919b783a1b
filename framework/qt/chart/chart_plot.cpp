#include "framework/qt/chart/chart_plot.h"

#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <limits>

namespace zch {

namespace {

// 2000-01-01 00:00:00 in seconds since 1970.
constexpr double kEpoch2000 = 946684800.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Caption {
  const char* ru;
  const char* en;
};

constexpr Caption kVoltage{"Напряжение, В", "Voltage, V"};
constexpr Caption kCurrent{"Ток, А", "Current, A"};
constexpr Caption kPower{"Мощность, Вт", "Power, W"};
constexpr Caption kCounter{"Счётчик, Ач", "Counter, Ah"};
constexpr Caption kTime{"Время", "Time"};

QString Text(const Caption& c, int language) { return QString::fromUtf8(language == 0 ? c.ru : c.en); }

// The samples with first.t >= from and the samples up to the first with t > to, one more on
// each side, so that a curve zoomed in still reaches the edges.
std::pair<std::size_t, std::size_t> IndexRange(const zan::Series& series, double from, double to) {
  const auto& s = series.samples;
  if (!series.ordered || series.undated != 0) return {0, s.size()};
  auto lo = static_cast<std::size_t>(
      std::lower_bound(s.begin(), s.end(), from, [](const zan::Sample& x, double t) { return x.t < t; }) - s.begin());
  auto hi = static_cast<std::size_t>(
      std::upper_bound(s.begin(), s.end(), to, [](double t, const zan::Sample& x) { return t < x.t; }) - s.begin());
  if (lo > 0) --lo;
  if (hi < s.size()) ++hi;
  return {lo, hi};
}

}  // namespace

double ToKey(double t) { return t + kEpoch2000; }
double FromKey(double key) { return key - kEpoch2000; }

ChartPlot::ChartPlot(QWidget* parent) : QCustomPlot(parent) {
  addLayer("phases", layer("grid"), limBelow);
  auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
  ticker->setDateTimeSpec(Qt::UTC);
  ticker->setDateTimeFormat("dd.MM.yyyy\nHH:mm:ss");
  xAxis->setTicker(ticker);
  yAxis2->setVisible(true);
  powerAxis_ = axisRect()->addAxis(QCPAxis::atRight);
  counterAxis_ = axisRect()->addAxis(QCPAxis::atRight);
  voltage_ = addGraph(xAxis, yAxis);
  voltage_->setPen(QPen(QColor(20, 70, 200), 1));
  current_ = addGraph(xAxis, yAxis2);
  current_->setPen(QPen(QColor(210, 60, 20), 1));
  power_ = addGraph(xAxis, powerAxis_);
  power_->setPen(QPen(QColor(130, 40, 160), 1));
  counter_ = addGraph(xAxis, counterAxis_);
  counter_->setPen(QPen(QColor(20, 140, 60), 1));
  for (QCPGraph* g : {voltage_, current_, power_, counter_}) g->setAdaptiveSampling(true);
  ShowPower(false);
  ShowCounter(false);
  for (int i = 0; i < 2; ++i) {
    cursor_[i] = new QCPItemStraightLine(this);
    cursor_[i]->setPen(QPen(QColor(40, 40, 40), 1, i == 0 ? Qt::DashLine : Qt::DashDotLine));
    cursor_[i]->point1->setTypeY(QCPItemPosition::ptAxisRectRatio);
    cursor_[i]->point2->setTypeY(QCPItemPosition::ptAxisRectRatio);
    cursor_[i]->setLayer("overlay");
  }
  legend->setVisible(true);
  axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
  // A column's min and max need no smoothing, and a frame must keep up with the wheel.
  setNotAntialiasedElements(QCP::aePlottables | QCP::aeItems);
  setPlottingHint(QCP::phFastPolylines, true);
  setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  axisRect()->setRangeDrag(Qt::Horizontal);
  axisRect()->setRangeZoom(Qt::Horizontal);
  // A drawing that comes first (the wheel draws at once) takes the queued one's place, so that
  // a frame is drawn once.
  redraw_.setSingleShot(true);
  redraw_.setInterval(0);
  connect(&redraw_, &QTimer::timeout, this, [this] { replot(); });
  connect(this, &QCustomPlot::beforeReplot, &redraw_, &QTimer::stop);
  connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this](const QCPRange&) {
    if (!filling_) Redecimate();
  });
  Captions();
}

void ChartPlot::SetData(std::shared_ptr<const zan::Series> series, const zan::Report& report) {
  series_ = std::move(series);
  summary_.Clear();
  summary_.Extend(*series_);
  gapSeconds_ = report.gapSeconds > 0 ? report.gapSeconds : 60;
  hasTime_ = report.start.has_value();
  first_ = report.start.value_or(0);
  last_ = report.end.value_or(first_ + 1);
  if (!(last_ > first_)) last_ = first_ + 1;
  counter_->setName(Text(kCounter, language_));
  MarkPhases(report);
  PlaceCursor(0, first_);
  PlaceCursor(1, last_);
  ShowCounter(counterAxis_->visible() && series_->hasCounter);
  ShowAll();
}

void ChartPlot::Grow(const zan::Report& report) {
  if (!series_) return;
  summary_.Extend(*series_);
  const auto& s = series_->samples;
  const auto newest = std::find_if(s.rbegin(), s.rend(), [](const zan::Sample& x) { return zan::IsDated(x.t); });
  if (newest == s.rend()) return;
  gapSeconds_ = report.gapSeconds > 0 ? report.gapSeconds : gapSeconds_;
  MarkPhases(report);
  if (!hasTime_) {
    hasTime_ = true;
    first_ = std::find_if(s.begin(), s.end(), [](const zan::Sample& x) { return zan::IsDated(x.t); })->t;
    last_ = std::max(newest->t, first_ + 1);
    PlaceCursor(0, first_);
    PlaceCursor(1, first_);
    ShowAll();
    return;
  }
  const double from = ViewFrom(), to = ViewTo();
  const bool atEnd = to >= last_ - 1e-6;
  last_ = std::max(last_, newest->t);
  if (atEnd) {
    SetView(from == first_ ? first_ : last_ - (to - from), last_);
  } else {
    Redecimate();
  }
}

void ChartPlot::MarkPhases(const zan::Report& report) {
  for (int i = itemCount() - 1; i >= 0; --i) {
    if (item(i)->layer() == layer("phases")) removeItem(i);
  }
  const auto shade = [this](double from, double to, const QBrush& brush) {
    auto* rect = new QCPItemRect(this);
    rect->setLayer("phases");
    rect->setPen(Qt::NoPen);
    rect->setBrush(brush);
    rect->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
    rect->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
    rect->topLeft->setCoords(ToKey(from), 0);
    rect->bottomRight->setCoords(ToKey(to), 1);
  };
  for (const zan::Phase& p : report.phases) {
    if (p.kind == zan::PhaseKind::kCharge) shade(p.start, p.end, QColor(0, 170, 0, 40));
    if (p.kind == zan::PhaseKind::kDischarge) shade(p.start, p.end, QColor(220, 0, 0, 40));
  }
  for (const zan::Gap& g : report.gaps) shade(g.start, g.end, QBrush(QColor(80, 80, 80, 140), Qt::BDiagPattern));
}

void ChartPlot::SetLanguage(int language) {
  language_ = language;
  Captions();
  QueueReplot();
}

void ChartPlot::Captions() {
  xAxis->setLabel(Text(kTime, language_));
  yAxis->setLabel(Text(kVoltage, language_));
  yAxis2->setLabel(Text(kCurrent, language_));
  powerAxis_->setLabel(Text(kPower, language_));
  counterAxis_->setLabel(Text(kCounter, language_));
  voltage_->setName(Text(kVoltage, language_));
  current_->setName(Text(kCurrent, language_));
  power_->setName(Text(kPower, language_));
  counter_->setName(Text(kCounter, language_));
}

void ChartPlot::ShowPower(bool on) {
  power_->setVisible(on);
  powerAxis_->setVisible(on);
  if (on) power_->addToLegend();
  else power_->removeFromLegend();
  if (series_) Redecimate();
}

void ChartPlot::ShowCounter(bool on) {
  on = on && (!series_ || series_->hasCounter);
  counter_->setVisible(on);
  counterAxis_->setVisible(on);
  if (on) counter_->addToLegend();
  else counter_->removeFromLegend();
  if (series_) Redecimate();
}

void ChartPlot::ShowAll() { SetView(first_, last_); }

double ChartPlot::ViewFrom() const { return FromKey(xAxis->range().lower); }
double ChartPlot::ViewTo() const { return FromKey(xAxis->range().upper); }

void ChartPlot::SetView(double from, double to) {
  const QCPRange was = xAxis->range();
  xAxis->setRange(ToKey(from), ToKey(to));  // a change redecimates through rangeChanged
  if (xAxis->range() == was) Redecimate();
}

void ChartPlot::Redecimate() {
  if (!series_) return;
  filling_ = true;
  // Neither zoomed nor dragged past the file: the chart holds nothing there.
  const double span = last_ - first_;
  QCPRange r = xAxis->range();
  if (r.size() > span) r = QCPRange(ToKey(first_), ToKey(last_));
  if (r.lower < ToKey(first_)) r = QCPRange(ToKey(first_), ToKey(first_) + r.size());
  if (r.upper > ToKey(last_)) r = QCPRange(ToKey(last_) - r.size(), ToKey(last_));
  if (r.lower != xAxis->range().lower || r.upper != xAxis->range().upper) xAxis->setRange(r);
  const double from = FromKey(r.lower), to = FromKey(r.upper);
  const int columns = std::max(16, axisRect()->width() > 0 ? axisRect()->width() : width());
  columns_ = columns;
  FillGraph(voltage_, zan::Channel::kVoltage, from, to, columns);
  FillGraph(current_, zan::Channel::kCurrent, from, to, columns);
  if (power_->visible()) FillGraph(power_, zan::Channel::kPower, from, to, columns);
  if (counter_->visible()) FillGraph(counter_, zan::Channel::kCounter, from, to, columns);
  for (QCPGraph* g : {voltage_, current_, power_, counter_}) {
    if (!g->visible()) continue;
    g->rescaleValueAxis(false, true);
    // A flat curve at the edge of the plot would hide in its frame.
    QCPAxis* axis = g->valueAxis();
    const double pad = std::max(axis->range().size() * 0.05, 0.05);
    axis->setRange(axis->range().lower - pad, axis->range().upper + pad);
  }
  filling_ = false;
  QueueReplot();
}

void ChartPlot::FillGraph(QCPGraph* graph, zan::Channel channel, double from, double to, int columns) {
  const zan::Series& s = *series_;
  QVector<QCPGraphData> points;
  const auto [lo, hi] = IndexRange(s, from, to);
  if (s.ordered && s.undated == 0 && hi - lo <= static_cast<std::size_t>(2 * columns)) {
    // Zoomed in to fewer samples than pixels: the samples themselves, broken at the gaps.
    double prev = kNaN;
    for (std::size_t i = lo; i < hi; ++i) {
      const zan::Sample& x = s.samples[i];
      if (prev == prev && x.t - prev > gapSeconds_) points.push_back({ToKey((prev + x.t) / 2), kNaN});
      points.push_back({ToKey(x.t), zan::ChannelValue(s, x, channel)});
      prev = x.t;
    }
  } else {
    const auto buckets = summary_.Decimate(s, channel, from, to, static_cast<std::size_t>(columns));
    const double w = (to - from) / columns;
    points.reserve(2 * columns);
    std::size_t lastFull = buckets.size();
    for (std::size_t i = 0; i < buckets.size(); ++i) {
      const zan::Bucket& b = buckets[i];
      if (b.count == 0) continue;
      const double key = ToKey(from + (static_cast<double>(i) + 0.5) * w);
      // Only empty columns between two full ones prove the logger was off; a column wider than
      // a gap proves nothing by being next to another.
      if (lastFull != buckets.size() && static_cast<double>(i - lastFull - 1) * w > gapSeconds_) {
        points.push_back({key - w / 2, kNaN});
      }
      points.push_back({key, b.min});
      if (b.max != b.min) points.push_back({key, b.max});
      lastFull = i;
    }
  }
  graph->data()->set(points, true);
}

void ChartPlot::QueueReplot() { redraw_.start(); }

void ChartPlot::PlaceCursor(int which, double t) {
  cursorT_[which] = t;
  cursor_[which]->point1->setCoords(ToKey(t), 0);
  cursor_[which]->point2->setCoords(ToKey(t), 1);
}

void ChartPlot::SetCursors(double a, double b) {
  PlaceCursor(0, a);
  PlaceCursor(1, b);
  QueueReplot();
  if (onCursorsMoved) onCursorsMoved();
}

SpanFigures ChartPlot::Figures() const {
  if (!series_) return {};
  return FiguresBetween(*series_, cursorT_[0], cursorT_[1], gapSeconds_);
}

void ChartPlot::mousePressEvent(QMouseEvent* event) {
  // The right button places the first cursor, with Shift the second; the left one drags.
  if (event->button() == Qt::RightButton && series_) {
    const double t = std::clamp(FromKey(xAxis->pixelToCoord(event->position().x())), first_, last_);
    const int which = (event->modifiers() & Qt::ShiftModifier) ? 1 : 0;
    PlaceCursor(which, t);
    QueueReplot();
    if (onCursorsMoved) onCursorsMoved();
    event->accept();
    return;
  }
  QCustomPlot::mousePressEvent(event);
}

void ChartPlot::resizeEvent(QResizeEvent* event) {
  QCustomPlot::resizeEvent(event);
  if (series_ && axisRect()->width() != columns_) Redecimate();
}

bool ChartPlot::ExportImage(const QString& path, int width, int height, QString& error) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  bool ok = false;
  if (suffix == "png") {
    ok = savePng(path, width, height);
  } else if (suffix == "pdf") {
    ok = savePdf(path, width, height);
  } else if (suffix == "svg") {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(width, height));
    svg.setViewBox(QRect(0, 0, width, height));
    QCPPainter painter;
    ok = painter.begin(&svg);
    if (ok) {
      toPainter(&painter, width, height);
      ok = painter.end();
    }
    ok = ok && QFileInfo(path).size() > 0;
  } else {
    error = "a chart is written as .png, .svg or .pdf, not '" + QFileInfo(path).fileName() + "'";
    return false;
  }
  if (!ok) error = path + ": cannot be written";
  return ok;
}

}  // namespace zch
