#include "framework/qt/chart/span_figures.h"

#include <algorithm>

namespace zch {

SpanFigures FiguresBetween(const zan::Series& series, double a, double b, double gapSeconds) {
  if (b < a) std::swap(a, b);
  SpanFigures f;
  f.seconds = b - a;
  const std::vector<zan::Sample>& s = series.samples;
  std::size_t i = 0;
  if (series.ordered && series.undated == 0) {
    i = static_cast<std::size_t>(
        std::lower_bound(s.begin(), s.end(), a, [](const zan::Sample& x, double t) { return x.t < t; }) - s.begin());
  }
  const zan::Sample* prev = nullptr;
  for (; i < s.size(); ++i) {
    const zan::Sample& x = s[i];
    if (!zan::IsDated(x.t)) continue;
    if (x.t < a) continue;
    if (x.t > b) {
      if (series.ordered) break;
      continue;
    }
    if (prev && x.t > prev->t && x.t - prev->t <= gapSeconds) {
      const double dt = x.t - prev->t;
      f.sampledSeconds += dt;
      f.ah += (double{prev->current} + x.current) / 2 * dt / 3600;
      f.wh += (double{prev->current} * prev->voltage + double{x.current} * x.voltage) / 2 * dt / 3600;
    }
    prev = &x;
  }
  if (f.sampledSeconds > 0) f.meanA = f.ah * 3600 / f.sampledSeconds;
  return f;
}

}  // namespace zch
