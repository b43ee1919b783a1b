#include "sim/battery_test_profile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

namespace zv::sim {

namespace {

constexpr uint64_t kStepMs = 1000;
constexpr double kSecondsPerHour = 3600.0;

// Open-circuit voltage per nominal volt, by state of charge: the steep foot of an empty
// battery, a long gentle slope, and the knee near full that makes the charger's voltage
// limit bite before the battery is full.
constexpr std::array<std::pair<double, double>, 13> kOpenCircuit = {{{0.00, 0.880},
                                                                      {0.05, 0.925},
                                                                      {0.10, 0.950},
                                                                      {0.20, 0.970},
                                                                      {0.30, 0.985},
                                                                      {0.40, 0.997},
                                                                      {0.50, 1.008},
                                                                      {0.60, 1.019},
                                                                      {0.70, 1.030},
                                                                      {0.80, 1.042},
                                                                      {0.90, 1.058},
                                                                      {0.95, 1.085},
                                                                      {1.00, 1.165}}};

// Capacity test stages, in the order they run.
enum Stage : uint8_t { kRestBefore, kDischarging, kRestAfter, kConstantCurrent, kConstantVoltage };
// The solar day's only state: whether the loads are connected.
enum SolarStage : uint8_t { kLoadsOn, kLoadsOff };

double Hours(uint64_t ms) { return static_cast<double>(ms) / 3600000.0; }

// splitmix64 of a seed and a number: the same clouds on every platform.
double Unit(uint64_t seed, uint64_t n) {
  uint64_t z = seed + (n + 1) * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
}

}  // namespace

std::optional<ProfileKind> ParseProfileKind(std::string_view name) {
  if (name == "capacity") return ProfileKind::kCapacity;
  if (name == "solar") return ProfileKind::kSolar;
  return std::nullopt;
}

std::string_view ProfileKindName(ProfileKind kind) {
  switch (kind) {
    case ProfileKind::kNone: return "none";
    case ProfileKind::kCapacity: return "capacity";
    case ProfileKind::kSolar: return "solar";
  }
  return "none";
}

double CellModel::OpenCircuitVolts(double soc) const {
  soc = std::clamp(soc, 0.0, 1.0);
  auto hi = std::upper_bound(kOpenCircuit.begin(), kOpenCircuit.end(), soc,
                             [](double s, const std::pair<double, double>& p) { return s < p.first; });
  if (hi == kOpenCircuit.end()) return kOpenCircuit.back().second * nominalVolts;
  const auto lo = hi - 1;
  const double f = (soc - lo->first) / (hi->first - lo->first);
  return (lo->second + f * (hi->second - lo->second)) * nominalVolts;
}

double CellModel::ResistanceOhms() const { return 0.0008 * nominalVolts; }
double CellModel::CutOffVolts() const { return 0.875 * nominalVolts; }
double CellModel::ChargeLimitVolts() const { return 1.17 * nominalVolts; }
double CellModel::DischargeAmps() const { return 0.8 * capacityAh; }
double CellModel::ChargeAmps() const { return 0.4 * capacityAh; }

ProfileBattery::ProfileBattery(ProfileKind kind, const CellModel& cell, uint64_t startTimeOfDayMs, uint64_t seed)
    : kind_(kind), cell_(cell), startTimeOfDayMs_(startTimeOfDayMs % kDayMs), seed_(seed) {
  if (!(cell_.nominalVolts > 0.0)) cell_.nominalVolts = 24.0;
  if (!(cell_.capacityAh > 0.0)) cell_.capacityAh = 100.0;
  Step first;
  first.soc = kind_ == ProfileKind::kSolar ? 0.6 : 1.0;  // a capacity test starts from full
  first.stage = kRestBefore;
  steps_.push_back(first);
  if (kind_ == ProfileKind::kSolar) steps_[0] = Next(first, 0);
}

ProfilePhase ProfileBattery::PhaseOf(uint8_t stage) const {
  if (kind_ == ProfileKind::kSolar) return ProfilePhase::kSolarDay;
  switch (stage) {
    case kDischarging: return ProfilePhase::kDischarge;
    case kConstantCurrent: return ProfilePhase::kChargeConstantCurrent;
    case kConstantVoltage: return ProfilePhase::kChargeConstantVoltage;
    default: return ProfilePhase::kRest;
  }
}

double ProfileBattery::SolarAmps(uint64_t ms) const {
  const uint64_t clock = startTimeOfDayMs_ + ms;
  const double h = Hours(clock % kDayMs);
  if (h < 6.0 || h > 20.0) return 0.0;
  const double sun = std::sin(std::numbers::pi * (h - 6.0) / 14.0);
  const double clouds = 0.5 + 0.5 * Unit(seed_, clock / (10 * 60 * 1000));  // ten-minute weather
  return 0.22 * cell_.capacityAh * sun * clouds;
}

double ProfileBattery::LoadAmps(uint64_t ms) const {
  const double h = Hours((startTimeOfDayMs_ + ms) % kDayMs);
  double amps = 0.02 * cell_.capacityAh;                      // always on
  if (h >= 18.0 && h < 22.5) amps += 0.08 * cell_.capacityAh;  // the evening
  if ((h >= 7.0 && h < 7.25) || (h >= 19.0 && h < 19.25)) amps += 0.6 * cell_.capacityAh;  // the pump
  return amps;
}

ProfileBattery::Step ProfileBattery::Next(const Step& from, std::size_t index) {
  Step s;
  const double seconds = static_cast<double>(kStepMs) / 1000.0;
  const double c = cell_.capacityAh;
  if (index > 0) {
    s.soc = std::clamp(from.soc + from.amps * seconds / kSecondsPerHour / c, 0.0, 1.0);
    s.chargeAh = from.chargeAh + from.amps * seconds / kSecondsPerHour;
  } else {
    s.soc = from.soc;
    s.chargeAh = from.chargeAh;
  }
  s.stage = from.stage;
  // What one step may put in or take out without passing full or empty.
  const double roomAmps = (1.0 - s.soc) * c * kSecondsPerHour / seconds;
  const double leftAmps = s.soc * c * kSecondsPerHour / seconds;
  const double limitAmps = (cell_.ChargeLimitVolts() - cell_.OpenCircuitVolts(s.soc)) / cell_.ResistanceOhms();

  if (kind_ == ProfileKind::kSolar) {
    // The low-voltage disconnect drops every load below 20 % and takes them back above 35 %.
    if (s.stage == kLoadsOn && s.soc < 0.2) s.stage = kLoadsOff;
    if (s.stage == kLoadsOff && s.soc > 0.35) s.stage = kLoadsOn;
    const uint64_t mid = index * kStepMs + kStepMs / 2;
    double net = SolarAmps(mid) - (s.stage == kLoadsOn ? LoadAmps(mid) : 0.0);
    if (net > 0.0) net = std::min({net, std::max(limitAmps, 0.0), roomAmps});
    if (net < 0.0) net = std::max(net, -leftAmps);
    s.amps = net;
    return s;
  }

  const auto enter = [&](Stage next) {
    s.stage = next;
    stageStart_ = index;
  };
  const uint64_t inStageMs = (index - stageStart_) * kStepMs;
  s.amps = 0.0;
  for (int guard = 0; guard < 5; ++guard) {
    const Stage before = static_cast<Stage>(s.stage);
    switch (before) {
      case kRestBefore:
        if (index > stageStart_ && inStageMs >= kRestBeforeMs) enter(kDischarging);
        break;
      case kDischarging:
        if (cell_.TerminalVolts(s.soc, -cell_.DischargeAmps()) <= cell_.CutOffVolts() || s.soc <= 0.0) {
          enter(kRestAfter);
        } else {
          s.amps = -std::min(cell_.DischargeAmps(), leftAmps);
        }
        break;
      case kRestAfter:
        if (index > stageStart_ && inStageMs >= kRestAfterMs) enter(kConstantCurrent);
        break;
      case kConstantCurrent:
        if (cell_.TerminalVolts(s.soc, cell_.ChargeAmps()) >= cell_.ChargeLimitVolts()) {
          enter(kConstantVoltage);
        } else {
          s.amps = std::min(cell_.ChargeAmps(), roomAmps);
        }
        break;
      case kConstantVoltage:
        // Full ends the charge: the charger stops, and the test begins again with its rest.
        if (s.soc >= 1.0 - 1e-9) {
          enter(kRestBefore);
        } else {
          s.amps = std::clamp(limitAmps, 0.0, std::min(cell_.ChargeAmps(), roomAmps));
        }
        break;
    }
    if (s.stage == before) break;
  }
  return s;
}

void ProfileBattery::ExtendTo(std::size_t step) {
  while (steps_.size() <= step) steps_.push_back(Next(steps_.back(), steps_.size()));
}

ProfileSample ProfileBattery::At(uint64_t ms) {
  const std::size_t k = static_cast<std::size_t>(ms / kStepMs);
  ExtendTo(k);
  const Step& s = steps_[k];
  const double into = static_cast<double>(ms % kStepMs) / 1000.0;
  ProfileSample out;
  out.soc = std::clamp(s.soc + s.amps * into / kSecondsPerHour / cell_.capacityAh, 0.0, 1.0);
  out.phase = PhaseOf(s.stage);
  BatterySample& b = out.battery;
  b.dcAmps = s.amps;
  b.acAmps = 0.01 * std::fabs(s.amps) + 0.02;  // the charger's and the loads' ripple
  const double rms = std::hypot(b.dcAmps, b.acAmps);
  b.rmsAmps = b.dcAmps < 0.0 ? -rms : rms;
  b.volts = cell_.TerminalVolts(out.soc, b.dcAmps);
  b.chargeAh = s.chargeAh + s.amps * into / kSecondsPerHour;
  return out;
}

uint64_t ProfileBattery::CycleMs() {
  if (kind_ != ProfileKind::kCapacity) return kDayMs;
  // The first step after the charge that is back in the first rest.
  // A battery too odd to finish a test in ten days is taken as a day's run.
  bool charged = false;
  for (std::size_t k = 0; k < 10 * kDayMs / kStepMs; ++k) {
    ExtendTo(k);
    if (steps_[k].stage == kConstantVoltage) charged = true;
    if (charged && steps_[k].stage == kRestBefore) return k * kStepMs;
  }
  return kDayMs;
}

std::size_t ProfileRecords(ProfileKind kind, double nominalVolts, uint32_t periodMs) {
  if (kind == ProfileKind::kNone || periodMs == 0) return 0;
  ProfileBattery profile(kind, CellModel{nominalVolts, 100.0});
  const uint64_t cycle = profile.CycleMs();
  return static_cast<std::size_t>((cycle + periodMs - 1) / periodMs);
}

}  // namespace zv::sim
