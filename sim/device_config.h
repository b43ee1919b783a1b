// The logger's identity and settings, as its configuration reply reports them, and the
// current-scale factors a program derives from them.
#pragma once

#include <cstdint>

namespace zv::sim {

struct DeviceConfig {
  uint16_t version = 110;
  uint16_t serial = 123;
  uint16_t shuntMillivolts = 50;
  uint16_t shuntAmps = 300;
  uint16_t nominalVoltage = 24;  // volts
  // Bits 0-11: recording period in hundredths of a second; bit 12: record on events.
  uint16_t configWord = 33;

  // Recording period in milliseconds; a period of 0 is taken as 0.01 s so that records
  // never share a time stamp.
  uint32_t RecordPeriodMs() const {
    const uint32_t hundredths = configWord & 0x0FFFu;
    return (hundredths == 0 ? 1u : hundredths) * 10u;
  }
  bool EventFlag() const { return (configWord & 0x1000u) != 0; }
};

// Amperes at 5000 counts for the high-range and the low-range current channel.
struct ScaleFactors {
  float high = 0.0f;
  float low = 0.0f;
};

// The factors the program uses after it has read this configuration, starting from its
// own start-up shunt values (50 mV, 300 A): version 8 takes both shunt values from the
// device, 110 and 120 force 50 mV / 300 A, 210 takes only the amperes, any other version
// keeps the program's values.
ScaleFactors ProgramFactors(const DeviceConfig& config);

// Raw |I_300_RMS| from which the program shows the high-range reading (and from which a
// memory record is logged in the high range).
int HighRangeThreshold(uint16_t version);

// Number of 4096-byte pages of the logger's memory.
uint32_t MemoryPagesForVersion(uint16_t version);

// Engineering values to raw counts, rounded to nearest and saturated to the field's range.
// A zero factor or zero nominal voltage gives 0.
int16_t AmpsToRaw(double amps, float factor);
uint16_t VoltsToRaw(double volts, uint16_t nominalVoltage);
int32_t AmpHoursToRaw(double ampHours, float lowFactor);

}  // namespace zv::sim
