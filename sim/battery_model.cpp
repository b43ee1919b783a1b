#include "sim/battery_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zv::sim {

namespace {

constexpr double kWobble = 0.03;                        // relative depth of the slow wobble
constexpr double kWobbleOmega = 2.0 * std::numbers::pi / 7.0;  // rad/s
constexpr double kVoltDrift = 0.02;                     // relative, over 15 minutes
constexpr double kVoltOmega = 2.0 * std::numbers::pi / 900.0;
constexpr uint64_t kMinPhaseMs = 3000;
constexpr uint64_t kMaxPhaseMs = 20000;

}  // namespace

BatteryModel::BatteryModel(uint64_t seed, const BatteryProfile& profile)
    : rngState_(seed), profile_(profile) {
  if (!(profile_.rangeSwitchAmps > 0.0)) profile_.rangeSwitchAmps = 10.0;
  if (!(profile_.maxAmps > profile_.rangeSwitchAmps)) profile_.maxAmps = profile_.rangeSwitchAmps * 4.0;
  voltPhase_ = NextUnit() * 2.0 * std::numbers::pi;
  nextCharging_ = NextUnit() < 0.5;
  const double initialChargeAh = std::round((5.0 + 20.0 * NextUnit()) * 100.0) / 100.0;
  ExtendTo(0);  // makes exactly the first phase
  segments_.front().chargeAtStartAh = initialChargeAh;
}

double BatteryModel::NextUnit() {
  // splitmix64: the same sequence on every platform and standard library.
  uint64_t z = (rngState_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
}

double BatteryModel::ChargeWithin(const Segment& s, double seconds) {
  const double integral =
      s.level * (seconds + kWobble / kWobbleOmega *
                               (std::cos(s.phase) - std::cos(kWobbleOmega * seconds + s.phase)));
  return integral / 3600.0;
}

void BatteryModel::ExtendTo(uint64_t ms) {
  while (segments_.empty() || segments_.back().endMs <= ms) {
    Segment s;
    if (!segments_.empty()) {
      const Segment& last = segments_.back();
      s.startMs = last.endMs;
      s.chargeAtStartAh =
          last.chargeAtStartAh + ChargeWithin(last, static_cast<double>(last.endMs - last.startMs) / 1000.0);
    }
    const uint64_t span = kMaxPhaseMs - kMinPhaseMs;
    s.endMs = s.startMs + kMinPhaseMs + static_cast<uint64_t>(NextUnit() * static_cast<double>(span));
    const bool small = NextUnit() < 0.5;
    const double sw = profile_.rangeSwitchAmps;
    double magnitude = small ? sw * (0.1 + 0.75 * NextUnit())
                             : sw * 1.2 + (profile_.maxAmps - sw * 1.2) * NextUnit();
    magnitude = std::round(magnitude * 100.0) / 100.0;
    s.level = nextCharging_ ? magnitude : -magnitude;
    nextCharging_ = !nextCharging_;
    s.phase = NextUnit() * 2.0 * std::numbers::pi;
    segments_.push_back(s);
  }
}

BatterySample BatteryModel::At(uint64_t ms) {
  ExtendTo(ms);
  auto it = std::upper_bound(segments_.begin(), segments_.end(), ms,
                             [](uint64_t t, const Segment& s) { return t < s.startMs; });
  const Segment& s = *(it - 1);
  const double tau = static_cast<double>(ms - s.startMs) / 1000.0;
  BatterySample out;
  out.dcAmps = s.level * (1.0 + kWobble * std::sin(kWobbleOmega * tau + s.phase));
  out.acAmps = 0.02 * std::fabs(s.level) + 0.05;
  const double rms = std::sqrt(out.dcAmps * out.dcAmps + out.acAmps * out.acAmps);
  out.rmsAmps = out.dcAmps < 0.0 ? -rms : rms;
  const double seconds = static_cast<double>(ms) / 1000.0;
  const double resistance = 0.08 * profile_.nominalVolts / profile_.maxAmps;
  out.volts = profile_.nominalVolts * (1.04 + kVoltDrift * std::sin(kVoltOmega * seconds + voltPhase_)) +
              out.dcAmps * resistance;
  out.volts = std::max(out.volts, 0.0);
  out.chargeAh = s.chargeAtStartAh + ChargeWithin(s, tau);
  return out;
}

}  // namespace zv::sim
