// The logger's identity and settings, as its configuration reply reports them, and the
// current-scale factors a program derives from them.
#pragma once

#include <cstdint>

#include "link/protocol.h"

namespace zv::sim {

struct DeviceConfig {
  uint16_t version = 110;
  uint16_t serial = 123;
  uint16_t shuntMillivolts = 50;
  uint16_t shuntAmps = 300;
  uint16_t nominalVoltage = 24;  // volts
  // Recording period in hundredths of a second, and the record-on-events flag.
  uint16_t configWord = 33;

  // Recording period in milliseconds; a period of 0 is taken as 0.01 s so that records
  // never share a time stamp.
  uint32_t RecordPeriodMs() const {
    const uint32_t hundredths = configWord & proto::kPeriodMask;
    return (hundredths == 0 ? 1u : hundredths) * 10u;
  }
  bool EventFlag() const { return (configWord & proto::kEventFlag) != 0; }
};

using ScaleFactors = proto::ScaleFactors;

// The factors the program uses after it has read this configuration, starting from its
// own start-up shunt values (50 mV, 300 A): version 8 takes both shunt values from the
// device, 110 and 120 force 50 mV / 300 A, 210 takes only the amperes, any other version
// keeps the program's values.
ScaleFactors ProgramFactors(const DeviceConfig& config);

// Engineering values to raw counts, rounded to nearest and saturated to the field's range.
// A zero factor or zero nominal voltage gives 0.
int16_t AmpsToRaw(double amps, float factor);
uint16_t VoltsToRaw(double volts, uint16_t nominalVoltage);
int32_t AmpHoursToRaw(double ampHours, float lowFactor);

}  // namespace zv::sim
