// What lies between the chart's two cursors: the time, the charge and the energy moved, and the
// mean current, worked out from the samples as the report works out a phase.
#pragma once

#include "analysis/series.h"

namespace zch {

struct SpanFigures {
  double seconds = 0;         // from the earlier cursor to the later one
  double sampledSeconds = 0;  // the steps counted: no gap, no undated sample
  double ah = 0;              // signed: positive into the battery
  double wh = 0;
  double meanA = 0;  // ah over the sampled hours; 0 when nothing was sampled
};

// Trapezoids between neighbouring dated samples that both lie in [a, b] (either order); a step
// longer than gapSeconds is not counted, as the logger was off.
SpanFigures FiguresBetween(const zan::Series& series, double a, double b, double gapSeconds);

}  // namespace zch
