// A battery test worked out from its samples: the charges, discharges and rests, the gaps where
// the logger was off, the internal resistance at the current's steps, and the totals.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/series.h"

namespace zan {

struct Settings {
  double threshold = 0.5;  // A: above it a charge, below minus it a discharge
  double minPhase = 60.0;  // s: a shorter phase joins the one before it
  // s: a longer step between neighbouring samples is a gap; by default the larger of 60 s and
  // ten times the median step.
  std::optional<double> gap;
};

enum class PhaseKind { kCharge, kDischarge, kRest };
const char* PhaseKindName(PhaseKind kind);  // "charge", "discharge", "rest"

// A phase runs from its first sample to the first sample of the next phase (its last own
// sample for the last phase), so that the phases tile the file's time: the step into the next
// phase, where the current changed, is integrated with the phase it leaves.
struct Phase {
  PhaseKind kind = PhaseKind::kRest;
  std::size_t first = 0;  // sample indices, the dated samples between them belong to the phase
  std::size_t last = 0;
  double start = 0;
  double end = 0;
  double seconds = 0;         // end - start, gaps included
  double sampledSeconds = 0;  // the steps integrated: no gap, no step back in time
  double ah = 0;              // magnitude of the charge moved
  double wh = 0;              // magnitude of the energy moved (voltage times current)
  double meanA = 0;           // signed: the charge moved over the sampled seconds
  double minV = 0;
  double maxV = 0;
  double endV = 0;  // at the phase's last sample
  std::optional<double> counterAh;  // the logger's counter, from the phase's start to its end
};

struct Gap {
  double start = 0;
  double end = 0;
  double seconds = 0;
  std::size_t before = 0;  // the sample the gap follows
};

// ΔV / ΔI across a step of the current, between the last sample before it and the first after.
struct Resistance {
  double time = 0;  // of the first sample after the step
  double ohm = 0;
  double deltaA = 0;
  double deltaV = 0;
  std::size_t before = 0;
  std::size_t after = 0;
};

struct Totals {
  double chargeAh = 0;
  double dischargeAh = 0;
  double chargeWh = 0;
  double dischargeWh = 0;
  // Out over in, for a file with both a charge and a discharge.
  std::optional<double> ahEfficiency;
  std::optional<double> whEfficiency;
};

struct Report {
  std::string device;
  std::string file;
  std::size_t samples = 0;
  std::size_t undatedRows = 0;
  std::optional<double> start;  // the first and last dated samples
  std::optional<double> end;
  double gapSeconds = 0;  // the gap limit used
  std::vector<Phase> phases;
  std::vector<Gap> gaps;
  std::vector<Resistance> resistance;
  Totals totals;
};

// Undated samples stay out of every time-based figure: the steps run between dated neighbours.
Report Analyse(const Series& series, const Settings& settings = {});

// The median of the steps between neighbouring dated samples that go forward in time; 0 when
// there are none.
double MedianStep(const Series& series);

}  // namespace zan
