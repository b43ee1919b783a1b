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
  switch (config.version) {
    case proto::kVersion8:
      mv = config.shuntMillivolts;
      amps = config.shuntAmps;
      break;
    case proto::kVersion110:
    case proto::kVersion120:
      mv = proto::kFixedShuntMillivolts;
      amps = proto::kFixedShuntAmps;
      break;
    case proto::kVersion210:
      amps = config.shuntAmps;
      break;
    default:
      break;
  }
  return proto::ScaleFactorsFor(config.version, amps, mv);
}

int16_t AmpsToRaw(double amps, float factor) {
  if (factor == 0.0f) return 0;
  return RoundSaturated<int16_t>(amps * proto::kFullScaleCounts / static_cast<double>(factor));
}

uint16_t VoltsToRaw(double volts, uint16_t nominalVoltage) {
  if (nominalVoltage == 0) return 0;
  return RoundSaturated<uint16_t>(volts * proto::kFullScaleCounts / nominalVoltage);
}

int32_t AmpHoursToRaw(double ampHours, float lowFactor) {
  if (lowFactor == 0.0f) return 0;
  return RoundSaturated<int32_t>(ampHours * proto::kFullScaleCounts / static_cast<double>(lowFactor));
}

}  // namespace zv::sim
