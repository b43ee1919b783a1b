#include "analysis/report.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zan {

namespace {

// A step of the current this large against the current before it shows the battery's
// resistance; below the threshold it is noise around a rest.
constexpr double kStepShare = 0.2;
constexpr double kMinDefaultGap = 60.0;
constexpr double kGapMedianSteps = 10.0;
constexpr double kSecondsPerHour = 3600.0;

PhaseKind KindOf(double current, double threshold) {
  if (current > threshold) return PhaseKind::kCharge;
  if (current < -threshold) return PhaseKind::kDischarge;
  return PhaseKind::kRest;
}

// Runs of samples of one kind become phases as each run ends, when its length (to the next
// run's first sample) is known: a short one, or one of the kind before, joins the phase before.
class PhaseBuilder {
 public:
  PhaseBuilder(const std::vector<Sample>& s, double minPhase, std::vector<Phase>& phases)
      : s_(s), minPhase_(minPhase), phases_(phases) {}

  void Add(std::size_t i, PhaseKind kind) {
    if (!open_) {
      run_ = {kind, i, i};
      open_ = true;
    } else if (kind == run_.kind) {
      run_.last = i;
    } else {
      Commit(s_[i].t - s_[run_.first].t);
      run_ = {kind, i, i};
    }
  }

  void Finish() {
    if (open_) Commit(s_[run_.last].t - s_[run_.first].t);
  }

 private:
  struct Run {
    PhaseKind kind;
    std::size_t first;
    std::size_t last;
  };

  void Commit(double seconds) {
    if (!phases_.empty() && (seconds < minPhase_ || phases_.back().kind == run_.kind)) {
      phases_.back().last = run_.last;
      return;
    }
    Phase p;
    p.kind = run_.kind;
    p.first = run_.first;
    p.last = run_.last;
    phases_.push_back(p);
  }

  const std::vector<Sample>& s_;
  const double minPhase_;
  std::vector<Phase>& phases_;
  Run run_{PhaseKind::kRest, 0, 0};
  bool open_ = false;
};

struct Sums {
  double charge = 0;  // A·s, signed
  double energy = 0;  // W·s, signed
};

}  // namespace

const char* PhaseKindName(PhaseKind kind) {
  switch (kind) {
    case PhaseKind::kCharge: return "charge";
    case PhaseKind::kDischarge: return "discharge";
    default: return "rest";
  }
}

double MedianStep(const Series& series) {
  std::vector<float> steps;
  double prev = kUndated;
  for (const Sample& s : series.samples) {
    if (!IsDated(s.t)) continue;
    if (IsDated(prev) && s.t > prev) steps.push_back(static_cast<float>(s.t - prev));
    prev = s.t;
  }
  if (steps.empty()) return 0;
  const auto mid = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
  std::nth_element(steps.begin(), mid, steps.end());
  double median = *mid;
  if (steps.size() % 2 == 0) median = (median + *std::max_element(steps.begin(), mid)) / 2;
  return median;
}

Report Analyse(const Series& series, const Settings& settings) {
  Report r;
  r.device = series.device;
  r.samples = series.samples.size();
  r.undatedRows = series.undated;
  r.gapSeconds = settings.gap ? *settings.gap : std::max(kMinDefaultGap, kGapMedianSteps * MedianStep(series));
  const std::vector<Sample>& s = series.samples;

  PhaseBuilder builder(s, settings.minPhase, r.phases);
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (IsDated(s[i].t)) builder.Add(i, KindOf(s[i].current, settings.threshold));
  }
  builder.Finish();
  if (r.phases.empty()) return r;
  r.start = s[r.phases.front().first].t;
  r.end = s[r.phases.back().last].t;

  std::vector<Sums> sums(r.phases.size());
  for (Phase& p : r.phases) {
    p.minV = std::numeric_limits<double>::infinity();
    p.maxV = -std::numeric_limits<double>::infinity();
  }
  std::size_t ph = 0;
  std::size_t prev = s.size();  // the last dated sample seen
  for (std::size_t i = 0; i < s.size(); ++i) {
    const Sample& b = s[i];
    if (!IsDated(b.t)) continue;
    if (prev != s.size()) {
      // The step from prev to i belongs to prev's phase.
      const Sample& a = s[prev];
      Phase& p = r.phases[ph];
      const double dt = b.t - a.t;
      const bool gap = dt > r.gapSeconds;
      if (gap) r.gaps.push_back({a.t, b.t, dt, prev});
      if (!gap && dt > 0) {
        p.sampledSeconds += dt;
        sums[ph].charge += (double{a.current} + b.current) / 2 * dt;
        sums[ph].energy += (double{a.current} * a.voltage + double{b.current} * b.voltage) / 2 * dt;
        const double dI = double{b.current} - a.current;
        const bool outOfRest = p.kind == PhaseKind::kRest && prev == p.last;
        const bool bigStep = std::fabs(dI) >= kStepShare * std::fabs(a.current) && std::fabs(dI) >= settings.threshold;
        if ((outOfRest || bigStep) && dI != 0) {
          const double dV = double{b.voltage} - a.voltage;
          r.resistance.push_back({b.t, dV / dI, dI, dV, prev, i});
        }
      }
      if (prev == p.last) {
        p.end = b.t;
        if (series.hasCounter) p.counterAh = double{b.counter} - s[p.first].counter;
        ++ph;
      }
    }
    Phase& p = r.phases[ph];
    if (i == p.first) p.start = b.t;
    p.minV = std::min(p.minV, double{b.voltage});
    p.maxV = std::max(p.maxV, double{b.voltage});
    p.endV = b.voltage;
    prev = i;
  }
  Phase& last = r.phases.back();
  last.end = s[last.last].t;
  if (series.hasCounter) last.counterAh = double{s[last.last].counter} - s[last.first].counter;

  for (std::size_t k = 0; k < r.phases.size(); ++k) {
    Phase& p = r.phases[k];
    p.seconds = p.end - p.start;
    p.ah = std::fabs(sums[k].charge) / kSecondsPerHour;
    p.wh = std::fabs(sums[k].energy) / kSecondsPerHour;
    if (p.sampledSeconds > 0) {
      p.meanA = sums[k].charge / p.sampledSeconds;
    } else {
      // Nothing integrated (one sample, or steps across gaps only): the plain mean.
      double sum = 0;
      std::size_t n = 0;
      for (std::size_t i = p.first; i <= p.last; ++i) {
        if (IsDated(s[i].t)) {
          sum += s[i].current;
          ++n;
        }
      }
      p.meanA = sum / static_cast<double>(n);
    }
    if (p.kind == PhaseKind::kCharge) {
      r.totals.chargeAh += p.ah;
      r.totals.chargeWh += p.wh;
    } else if (p.kind == PhaseKind::kDischarge) {
      r.totals.dischargeAh += p.ah;
      r.totals.dischargeWh += p.wh;
    }
  }
  if (r.totals.chargeAh > 0 && r.totals.dischargeAh > 0) {
    r.totals.ahEfficiency = r.totals.dischargeAh / r.totals.chargeAh;
    if (r.totals.chargeWh > 0) r.totals.whEfficiency = r.totals.dischargeWh / r.totals.chargeWh;
  }
  return r;
}

}  // namespace zan
