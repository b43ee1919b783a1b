#include "sim/device.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "sim/frames.h"

namespace zv::sim {

namespace {

constexpr uint16_t kMaxReadRegisters = 125;

BatteryProfile ProfileFor(const DeviceConfig& config) {
  const ScaleFactors f = ProgramFactors(config);
  BatteryProfile p;
  p.nominalVolts = config.nominalVoltage;
  p.rangeSwitchAmps = HighRangeThreshold(config.version) * static_cast<double>(f.high) / 5000.0;
  p.maxAmps = p.rangeSwitchAmps * 4.0;
  return p;
}

LocalTime AtMs(int64_t ms) { return MsToCivil(ms); }

std::vector<uint8_t> RegisterReply(uint8_t function, std::span<const uint16_t> table, uint16_t start,
                                   uint16_t count) {
  std::vector<uint8_t> f{kDeviceAddress, function, static_cast<uint8_t>(count * 2)};
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t reg = static_cast<uint32_t>(start) + i;
    PutBe16(f, reg < table.size() ? table[reg] : 0);
  }
  AppendCrc(f);
  return f;
}

std::vector<uint8_t> WriteAck(uint16_t start, uint16_t count) {
  return RegisterFrame(kFnWriteRegisters, start, count);
}

}  // namespace

RequestKind ClassifyRequest(std::span<const uint8_t> f) {
  if (f.size() < 4 || f[0] != kDeviceAddress) return RequestKind::kUnknown;
  if (!FrameCrcValid(f)) return RequestKind::kBadCrc;
  switch (f[1]) {
    case kFnReadInput:
      if (f.size() != 8) return RequestKind::kUnknown;
      return Be16(f, 4) == kPageCountField ? RequestKind::kPage : RequestKind::kMeasurement;
    case kFnReadConfig:
      return f.size() == 8 ? RequestKind::kConfigRead : RequestKind::kUnknown;
    case kFnWriteRegisters:
      if (f.size() < 9) return RequestKind::kUnknown;
      if (Be16(f, 2) == kEraseRegister) return RequestKind::kErase;
      if (Be16(f, 2) == kClockRegister || Be16(f, 2) == kClockRegisterAlt) return RequestKind::kClockWrite;
      return RequestKind::kUnknown;
    case kFnWriteConfig:
      return f.size() == 17 ? RequestKind::kConfigWrite : RequestKind::kUnknown;
    default:
      return RequestKind::kUnknown;
  }
}

MeasurementRegisters BuildMeasurementRegisters(const BatterySample& b, const LocalTime& t,
                                               const DeviceConfig& config) {
  const ScaleFactors f = ProgramFactors(config);
  const auto raw = [](int16_t v) { return static_cast<uint16_t>(v); };
  MeasurementRegisters r{};
  r[0] = raw(AmpsToRaw(b.dcAmps, f.low));
  r[1] = raw(AmpsToRaw(b.acAmps, f.low));
  r[2] = raw(AmpsToRaw(b.rmsAmps, f.low));
  r[3] = raw(AmpsToRaw(b.dcAmps, f.high));
  r[4] = raw(AmpsToRaw(b.acAmps, f.high));
  r[5] = raw(AmpsToRaw(b.rmsAmps, f.high));
  r[6] = VoltsToRaw(b.volts, config.nominalVoltage);
  const auto charge = static_cast<uint32_t>(AmpHoursToRaw(b.chargeAh, f.low));
  r[7] = static_cast<uint16_t>(charge >> 16);
  r[8] = static_cast<uint16_t>(charge & 0xFFFF);
  r[11] = static_cast<uint16_t>(t.second * 1000 + t.millisecond);
  r[12] = static_cast<uint16_t>((t.hour << 8) | t.minute);
  r[13] = static_cast<uint16_t>((t.month << 8) | t.day);
  r[14] = static_cast<uint16_t>((t.year - 2000) & 0xFF);
  return r;
}

MemoryRecord BuildRecord(const BatterySample& b, const LocalTime& t, const DeviceConfig& config) {
  const ScaleFactors f = ProgramFactors(config);
  MemoryRecord r;
  const int16_t high = AmpsToRaw(b.rmsAmps, f.high);
  if (std::abs(static_cast<int>(high)) >= HighRangeThreshold(config.version)) {
    r.current = high;
    r.rangeFlag = 1;
  } else {
    r.current = AmpsToRaw(b.rmsAmps, f.low);
    r.rangeFlag = 0;
  }
  r.voltage = static_cast<int16_t>(std::min<uint16_t>(VoltsToRaw(b.volts, config.nominalVoltage), 32767));
  r.charge = AmpHoursToRaw(b.chargeAh, f.low);
  r.millisecondsInMinute = static_cast<uint16_t>(t.second * 1000 + t.millisecond);
  r.minute = static_cast<uint8_t>(t.minute);
  r.hour = static_cast<uint8_t>(t.hour);
  r.day = static_cast<uint8_t>(t.day);
  r.month = static_cast<uint8_t>(t.month);
  r.yearByte = static_cast<uint8_t>((t.year - 2000) & 0xFF);
  if (r.yearByte == kEmptyYear) r.yearByte = kEmptyYear - 1;  // 2255 would read as empty
  return r;
}

SimDevice::SimDevice(DeviceOptions options, IClock& clock)
    : options_(std::move(options)),
      config_(options_.config),
      watch_(clock),
      clock_(clock, options_.startTime, options_.clockStopped),
      battery_(options_.seed, ProfileFor(config_)),
      memory_(MemoryPagesForVersion(config_.version)),
      faults_(options_.faults) {
  FillMemory(clock_.Now());
}

void SimDevice::FillMemory(const LocalTime& end) {
  // The records were logged before the device was reached, one recording period apart,
  // the last one a period before `end`, by a battery of their own.
  const std::size_t n = std::min(options_.records, memory_.CapacityRecords());
  const uint64_t period = config_.RecordPeriodMs();
  const int64_t first = CivilToMs(end) - static_cast<int64_t>(n * period);
  BatteryModel history(options_.seed ^ 0x5EC0DA7Aull, ProfileFor(config_));
  memory_.Reserve(n);
  for (std::size_t k = 0; k < n; ++k) {
    const uint64_t at = k * period;
    memory_.Append(BuildRecord(history.At(at), AtMs(first + static_cast<int64_t>(at)), config_));
  }
}

BatterySample SimDevice::BatteryLocked() {
  if (options_.frozen) {
    BatterySample s;
    s.dcAmps = s.rmsAmps = options_.frozen->amps;
    s.volts = options_.frozen->volts;
    s.chargeAh = options_.frozen->chargeAh;
    return s;
  }
  return battery_.At(watch_.ElapsedMs());
}

MeasurementRegisters SimDevice::MeasurementLocked() {
  const BatterySample b = BatteryLocked();
  return BuildMeasurementRegisters(b, clock_.Now(), config_);
}

Response SimDevice::Handle(std::span<const uint8_t> request) {
  std::lock_guard lock(mu_);
  ++counters_.requests;
  Response r;
  switch (faults_.BeforeRequest()) {
    case FaultInjector::Gate::kVanish:
      r.request = ClassifyRequest(request);
      r.closeLink = true;
      break;
    case FaultInjector::Gate::kIgnore:
      r.request = ClassifyRequest(request);
      break;
    case FaultInjector::Gate::kAnswer:
      r = Answer(request);
      if (r.request == RequestKind::kPage) ++counters_.pageRequests;
      faults_.Apply(r);
      counters_.replies = faults_.RepliesSeen();
      break;
  }
  counters_.vanished = faults_.Vanished();
  return r;
}

Response SimDevice::Answer(std::span<const uint8_t> f) {
  Response r;
  if (f.size() < 4 || f[0] != kDeviceAddress) return r;
  if (!FrameCrcValid(f)) {
    r.request = RequestKind::kBadCrc;
    return r;
  }
  const uint8_t function = f[1];
  if ((function == kFnReadInput || function == kFnReadConfig) && f.size() == 8) {
    const uint16_t start = Be16(f, 2);
    const uint16_t count = Be16(f, 4);
    if (function == kFnReadInput && count == kPageCountField) {
      r.request = RequestKind::kPage;
      r.bursts.push_back({0, memory_.ReadPage(start)});
      return r;
    }
    if (count == 0 || count > kMaxReadRegisters) return r;
    if (function == kFnReadInput) {
      r.request = RequestKind::kMeasurement;
      const MeasurementRegisters regs = MeasurementLocked();
      r.bursts.push_back({0, RegisterReply(function, regs, start, count)});
    } else {
      r.request = RequestKind::kConfigRead;
      const ConfigRegisters regs{config_.version, config_.serial, config_.shuntMillivolts,
                                 config_.shuntAmps, config_.nominalVoltage, config_.configWord};
      r.bursts.push_back({0, RegisterReply(function, regs, start, count)});
    }
    return r;
  }
  if (function == kFnWriteRegisters && f.size() >= 9 && f.size() == 9u + f[6]) {
    const uint16_t start = Be16(f, 2);
    const uint16_t count = Be16(f, 4);
    const bool clockShape = count == 4 && f[6] == 8;
    if (clockShape && (start == kClockRegisterAlt ||
                       (start == kClockRegister && !options_.clockRegister5Only))) {
      r.request = RequestKind::kClockWrite;
      LocalTime t;
      t.second = f[8];
      t.hour = f[9];
      t.minute = f[10];
      t.month = f[11];
      t.day = f[12];
      t.year = 2000 + f[14];
      clock_.Set(t);
      r.bursts.push_back({0, WriteAck(start, count)});
    } else if (start == kEraseRegister) {
      r.request = RequestKind::kErase;
      memory_.Erase();
      ++counters_.erases;
      r.bursts.push_back({options_.eraseMs, WriteAck(start, count)});
    }
    return r;
  }
  if (function == kFnWriteConfig && f.size() == 17 && f[2] == 12) {
    r.request = RequestKind::kConfigWrite;
    config_.configWord = Be16(f, 3);
    config_.shuntMillivolts = Be16(f, 11);
    config_.shuntAmps = Be16(f, 13);
    std::vector<uint8_t> ack{kDeviceAddress, kFnWriteConfig};
    AppendCrc(ack);
    r.bursts.push_back({0, std::move(ack)});
  }
  return r;
}

MeasurementRegisters SimDevice::Measurement() {
  std::lock_guard lock(mu_);
  return MeasurementLocked();
}

ConfigRegisters SimDevice::Configuration() const {
  std::lock_guard lock(mu_);
  return {config_.version, config_.serial, config_.shuntMillivolts, config_.shuntAmps,
          config_.nominalVoltage, config_.configWord};
}

DeviceConfig SimDevice::Config() const {
  std::lock_guard lock(mu_);
  return config_;
}

ScaleFactors SimDevice::Factors() const {
  std::lock_guard lock(mu_);
  return ProgramFactors(config_);
}

BatterySample SimDevice::Battery() {
  std::lock_guard lock(mu_);
  return BatteryLocked();
}

LocalTime SimDevice::Time() {
  std::lock_guard lock(mu_);
  return clock_.Now();
}

uint32_t SimDevice::MemoryPages() const {
  std::lock_guard lock(mu_);
  return memory_.Pages();
}

std::size_t SimDevice::RecordCount() const {
  std::lock_guard lock(mu_);
  return memory_.RecordCount();
}

MemoryRecord SimDevice::Record(std::size_t index) const {
  std::lock_guard lock(mu_);
  return memory_.Record(index);
}

std::vector<uint8_t> SimDevice::Page(uint16_t address) const {
  std::lock_guard lock(mu_);
  return memory_.ReadPage(address);
}

SimDevice::Counters SimDevice::GetCounters() const {
  std::lock_guard lock(mu_);
  return counters_;
}

}  // namespace zv::sim
