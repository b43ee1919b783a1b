// A plausible battery seen through the logger's shunt: phases of charging and discharging,
// some small enough for the low current range and some only the high range can show, a
// ripple on top, a terminal voltage that follows the load, and a charge counter that
// integrates the current. Deterministic for a seed and a time.
#pragma once

#include <cstdint>
#include <vector>

namespace zv::sim {

struct BatterySample {
  double dcAmps = 0.0;    // positive while charging, negative while discharging
  double acAmps = 0.0;    // RMS of the ripple, never negative
  double rmsAmps = 0.0;   // sqrt(dc^2 + ac^2), with the sign of dcAmps
  double volts = 0.0;     // terminal voltage
  double chargeAh = 0.0;  // charge counter, signed
};

// The values a frozen battery reports at every instant.
struct FrozenBattery {
  double amps = 0.0;
  double volts = 0.0;
  double chargeAh = 0.0;
};

struct BatteryProfile {
  double nominalVolts = 24.0;
  double rangeSwitchAmps = 60.0;  // currents below this belong to the low range
  double maxAmps = 240.0;         // largest current of a high-range phase
};

class BatteryModel {
 public:
  BatteryModel(uint64_t seed, const BatteryProfile& profile);

  // The battery ms milliseconds after the model started. Cheapest when called with times
  // that grow; any order is allowed.
  BatterySample At(uint64_t ms);

 private:
  struct Segment {
    uint64_t startMs = 0;
    uint64_t endMs = 0;
    double level = 0.0;  // mean current of the phase
    double phase = 0.0;  // of its slow wobble
    double chargeAtStartAh = 0.0;
  };

  void ExtendTo(uint64_t ms);
  double NextUnit();  // uniform in [0, 1)
  static double ChargeWithin(const Segment& s, double seconds);

  uint64_t rngState_;
  BatteryProfile profile_;
  double voltPhase_ = 0.0;
  bool nextCharging_ = true;
  std::vector<Segment> segments_;
};

}  // namespace zv::sim
