#include "sim/device_config.h"

#include <cmath>
#include <limits>

namespace zv::sim {

namespace {

constexpr uint32_t kProgramStartMillivolts = 50;
constexpr uint32_t kProgramStartAmps = 300;

template <typename T>
T RoundSaturated(double v) {
  if (!std::isfinite(v)) return 0;
  const double r = std::nearbyint(v);
  if (r <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
  if (r >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  return static_cast<T>(r);
}

}  // namespace

ScaleFactors ProgramFactors(const DeviceConfig& config) {
  uint32_t mv = kProgramStartMillivolts;
  uint32_t amps = kProgramStartAmps;
  if (config.version == 8) {
    mv = config.shuntMillivolts;
    amps = config.shuntAmps;
  } else if (config.version == 210) {
    amps = config.shuntAmps;
  }
  ScaleFactors f;
  if (config.version == 10) {
    if (mv == 0) return f;  // the program leaves both at 0 then
    const uint32_t k = ((amps * 75u) / mv) / 4u;
    f.high = static_cast<float>(k);
    f.low = f.high / 10.0f;
  } else if (config.version == 210) {
    f.high = static_cast<float>(amps);
    f.low = static_cast<float>(amps) / 20.0f;
  } else {
    f.high = static_cast<float>(amps);
    f.low = static_cast<float>(mv);
  }
  return f;
}

int HighRangeThreshold(uint16_t version) { return version == 210 ? 500 : 1000; }

uint32_t MemoryPagesForVersion(uint16_t version) { return version == 210 ? 4096u : 2048u; }

int16_t AmpsToRaw(double amps, float factor) {
  if (factor == 0.0f) return 0;
  return RoundSaturated<int16_t>(amps * 5000.0 / static_cast<double>(factor));
}

uint16_t VoltsToRaw(double volts, uint16_t nominalVoltage) {
  if (nominalVoltage == 0) return 0;
  return RoundSaturated<uint16_t>(volts * 5000.0 / nominalVoltage);
}

int32_t AmpHoursToRaw(double ampHours, float lowFactor) {
  if (lowFactor == 0.0f) return 0;
  return RoundSaturated<int32_t>(ampHours * 5000.0 / static_cast<double>(lowFactor));
}

}  // namespace zv::sim
