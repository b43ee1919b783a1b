// Battery tests the simulated logger can have run before it was reached, and go on running
// live: a capacity test (rest, constant-current discharge to the cut-off voltage, rest,
// constant-current then constant-voltage charge to full, again) and a day of solar charging
// with loads. The battery is a cell model: an open-circuit voltage that follows the state of
// charge, and an internal resistance, so the terminal voltage sags under load and rises
// while charging as a real one does. Everything scales with the nominal voltage.
// Deterministic for its arguments and a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "sim/battery_model.h"

namespace zv::sim {

enum class ProfileKind { kNone, kCapacity, kSolar };

std::optional<ProfileKind> ParseProfileKind(std::string_view name);
std::string_view ProfileKindName(ProfileKind kind);

struct CellModel {
  double nominalVolts = 24.0;
  double capacityAh = 100.0;

  // Open-circuit voltage at a state of charge from 0 to 1 (clamped), rising throughout.
  double OpenCircuitVolts(double soc) const;
  double ResistanceOhms() const;
  // Terminal voltage for a current, positive while charging.
  double TerminalVolts(double soc, double amps) const { return OpenCircuitVolts(soc) + amps * ResistanceOhms(); }
  double CutOffVolts() const;        // a discharge ends when the terminal voltage reaches this
  double ChargeLimitVolts() const;   // the charger's constant voltage
  double DischargeAmps() const;      // capacity test, constant current
  double ChargeAmps() const;         // capacity test, constant-current stage
};

enum class ProfilePhase { kRest, kDischarge, kChargeConstantCurrent, kChargeConstantVoltage, kSolarDay };

struct ProfileSample {
  BatterySample battery;
  double soc = 0.0;
  ProfilePhase phase = ProfilePhase::kRest;
};

class ProfileBattery {
 public:
  static constexpr uint64_t kRestBeforeMs = 10 * 60 * 1000;
  static constexpr uint64_t kRestAfterMs = 30 * 60 * 1000;
  static constexpr uint64_t kDayMs = 24ull * 60 * 60 * 1000;

  // startTimeOfDayMs: the local time of day at ms 0 (the sun follows the clock); seed: the
  // clouds of the solar day.
  ProfileBattery(ProfileKind kind, const CellModel& cell, uint64_t startTimeOfDayMs = 0, uint64_t seed = 1);

  // The battery ms milliseconds after the profile started. Cheapest with times that grow.
  ProfileSample At(uint64_t ms);
  // One whole run: a capacity test from its first rest to the end of its charge, or a day.
  uint64_t CycleMs();

  const CellModel& Cell() const { return cell_; }

 private:
  // One second of the profile: a constant current, and the state it started from.
  struct Step {
    double amps = 0.0;
    double soc = 0.0;
    double chargeAh = 0.0;
    uint8_t stage = 0;
  };

  void ExtendTo(std::size_t step);
  Step Next(const Step& from, std::size_t index);
  double SolarAmps(uint64_t ms) const;
  double LoadAmps(uint64_t ms) const;
  ProfilePhase PhaseOf(uint8_t stage) const;

  ProfileKind kind_;
  CellModel cell_;
  uint64_t startTimeOfDayMs_;
  uint64_t seed_;
  std::size_t stageStart_ = 0;  // index of the step where the current stage began
  std::vector<Step> steps_;
};

// How many records at the configured period hold one whole run of the profile.
std::size_t ProfileRecords(ProfileKind kind, double nominalVolts, uint32_t periodMs);

}  // namespace zv::sim
