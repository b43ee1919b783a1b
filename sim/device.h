// The simulated logger: configuration, battery, clock and record memory behind the
// request/reply protocol. Handle() maps one complete request to what the logger sends
// back; the transport (a pseudo-terminal server, or a test) decides how to deliver it.
// Every member is safe to call from several threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "link/protocol.h"
#include "platform/clock.h"
#include "sim/battery_model.h"
#include "sim/battery_test_profile.h"
#include "sim/device_clock.h"
#include "sim/device_config.h"
#include "sim/faults.h"
#include "sim/memory_image.h"
#include "sim/reply.h"

namespace zv::sim {

using MeasurementRegisters = std::array<uint16_t, proto::kMeasurementRegisterCount>;
using ConfigRegisters = std::array<uint16_t, proto::kConfigRegisterCount>;

struct DeviceOptions {
  DeviceConfig config;
  uint64_t seed = 1;
  std::size_t records = 3000;  // logged records in memory at start (capped at its capacity)
  uint32_t eraseMs = 3000;     // time the erase takes before it is acknowledged
  bool clockRegister5Only = false;  // clock writes at register 11 get no answer
  // A battery test that filled the memory before the logger was reached and goes on live;
  // kNone: the random battery of BatteryModel.
  ProfileKind profile = ProfileKind::kNone;
  std::optional<FrozenBattery> frozen;  // the battery shows these values at every instant
  // Every measurement reply carries exactly these registers: raw values at the edges of the
  // program's scaling (range switches, full scale, minute wrap) that no battery model hits.
  std::optional<MeasurementRegisters> fixedRegisters;
  std::optional<LocalTime> startTime;   // device clock at start; default: the PC's local time
  bool clockStopped = false;            // the device clock does not run
  FaultOptions faults;
};

// The registers of a measurement reply for a battery state and clock reading, scaled
// with the factors the program derives from config.
MeasurementRegisters BuildMeasurementRegisters(const BatterySample& battery, const LocalTime& time,
                                               const DeviceConfig& config);
// The memory record the logger writes for a battery state at a time.
MemoryRecord BuildRecord(const BatterySample& battery, const LocalTime& time, const DeviceConfig& config);

// What a frame asks for, judged by its CRC and then its shape alone (not by what this
// logger's options let it answer).
RequestKind ClassifyRequest(std::span<const uint8_t> frame);

class SimDevice {
 public:
  // The clock must outlive the device.
  SimDevice(DeviceOptions options, IClock& clock);

  // Acts on one complete request (address, code, payload, CRC) and returns the reply.
  Response Handle(std::span<const uint8_t> request);

  // What the logger would answer right now, without counting as a request.
  MeasurementRegisters Measurement();
  ConfigRegisters Configuration() const;

  DeviceConfig Config() const;
  // Another logger behind the same port: its serial number, and its version when given.
  // The memory keeps its size and contents.
  void SetIdentity(uint16_t serial, std::optional<uint16_t> version);
  ScaleFactors Factors() const;
  BatterySample Battery();
  LocalTime Time();

  uint32_t MemoryPages() const;
  std::size_t RecordCount() const;
  MemoryRecord Record(std::size_t index) const;
  std::vector<uint8_t> Page(uint16_t address) const;

  struct Counters {
    uint32_t requests = 0;      // complete frames handed to Handle
    uint32_t replies = 0;       // replies produced (dropped ones included)
    uint32_t pageRequests = 0;
    uint32_t erases = 0;
    bool vanished = false;
  };
  Counters GetCounters() const;

 private:
  Response Answer(std::span<const uint8_t> request);
  BatterySample BatteryLocked();
  MeasurementRegisters MeasurementLocked();
  void FillMemory(const LocalTime& end);
  void FillMemoryFromProfile(const LocalTime& end);

  mutable std::mutex mu_;
  DeviceOptions options_;
  DeviceConfig config_;
  Stopwatch watch_;
  DeviceClock clock_;
  BatteryModel battery_;
  std::optional<ProfileBattery> profile_;
  uint64_t profileLiveFromMs_ = 0;  // where on the profile's timeline the logger was reached
  DeviceMemory memory_;
  FaultInjector faults_;
  Counters counters_;
};

}  // namespace zv::sim
