#include "sim/device.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "sim/frames.h"

namespace zv::sim {

namespace {

namespace meas = proto::measurement;
namespace cfg = proto::config;

BatteryProfile ProfileFor(const DeviceConfig& config) {
  const ScaleFactors f = ProgramFactors(config);
  BatteryProfile p;
  p.nominalVolts = config.nominalVoltage;
  p.rangeSwitchAmps = proto::HighRangeThreshold(config.version) * static_cast<double>(f.high) / proto::kFullScaleCounts;
  p.maxAmps = p.rangeSwitchAmps * 4.0;
  return p;
}

LocalTime AtMs(int64_t ms) { return MsToCivil(ms); }

uint8_t YearByte(const LocalTime& t) { return static_cast<uint8_t>((t.year - proto::kYearBase) & 0xFF); }

ConfigRegisters BuildConfigRegisters(const DeviceConfig& c) {
  ConfigRegisters r{};
  r[cfg::kVersion] = c.version;
  r[cfg::kSerial] = c.serial;
  r[cfg::kShuntMillivolts] = c.shuntMillivolts;
  r[cfg::kShuntAmps] = c.shuntAmps;
  r[cfg::kNominalVoltage] = c.nominalVoltage;
  r[cfg::kConfigWord] = c.configWord;
  return r;
}

std::vector<uint8_t> RegisterReply(uint8_t function, std::span<const uint16_t> table, uint16_t start,
                                   uint16_t count) {
  std::vector<uint8_t> f{proto::kDeviceAddress, function, static_cast<uint8_t>(count * 2)};
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t reg = static_cast<uint32_t>(start) + i;
    PutBe16(f, reg < table.size() ? table[reg] : 0);
  }
  AppendCrc(f);
  return f;
}

std::vector<uint8_t> WriteAck(uint16_t start, uint16_t count) {
  return RegisterFrame(proto::kFnWriteRegisters, start, count);
}

RequestKind KindOf(proto::RequestShape shape) {
  switch (shape) {
    case proto::RequestShape::kUnknown: return RequestKind::kUnknown;
    case proto::RequestShape::kConfigRead: return RequestKind::kConfigRead;
    case proto::RequestShape::kMeasurement: return RequestKind::kMeasurement;
    case proto::RequestShape::kPage: return RequestKind::kPage;
    case proto::RequestShape::kClockWrite: return RequestKind::kClockWrite;
    case proto::RequestShape::kErase: return RequestKind::kErase;
    case proto::RequestShape::kConfigWrite: return RequestKind::kConfigWrite;
  }
  return RequestKind::kUnknown;
}

}  // namespace

RequestKind ClassifyRequest(std::span<const uint8_t> f) {
  // A frame for another address is none of this logger's business, whatever its CRC.
  if (f.size() < proto::kMinReplyLength || f[proto::kAddressOffset] != proto::kDeviceAddress) {
    return RequestKind::kUnknown;
  }
  if (!proto::RequestCrcValid(f)) return RequestKind::kBadCrc;
  return KindOf(proto::ClassifyRequestShape(f));
}

MeasurementRegisters BuildMeasurementRegisters(const BatterySample& b, const LocalTime& t,
                                               const DeviceConfig& config) {
  const ScaleFactors f = ProgramFactors(config);
  const auto raw = [](int16_t v) { return static_cast<uint16_t>(v); };
  MeasurementRegisters r{};
  r[meas::kI50Dc] = raw(AmpsToRaw(b.dcAmps, f.low));
  r[meas::kI50Ac] = raw(AmpsToRaw(b.acAmps, f.low));
  r[meas::kI50Rms] = raw(AmpsToRaw(b.rmsAmps, f.low));
  r[meas::kI300Dc] = raw(AmpsToRaw(b.dcAmps, f.high));
  r[meas::kI300Ac] = raw(AmpsToRaw(b.acAmps, f.high));
  r[meas::kI300Rms] = raw(AmpsToRaw(b.rmsAmps, f.high));
  r[meas::kVoltage] = VoltsToRaw(b.volts, config.nominalVoltage);
  const auto charge = static_cast<uint32_t>(AmpHoursToRaw(b.chargeAh, f.low));
  r[meas::kChargeHigh] = static_cast<uint16_t>(charge >> 16);
  r[meas::kChargeLow] = static_cast<uint16_t>(charge & 0xFFFF);
  r[meas::kMillisecondsInMinute] = static_cast<uint16_t>(t.second * 1000 + t.millisecond);
  r[meas::kHourMinute] = static_cast<uint16_t>((t.hour << 8) | t.minute);
  r[meas::kMonthDay] = static_cast<uint16_t>((t.month << 8) | t.day);
  r[meas::kYear] = YearByte(t);
  return r;
}

MemoryRecord BuildRecord(const BatterySample& b, const LocalTime& t, const DeviceConfig& config) {
  const ScaleFactors f = ProgramFactors(config);
  MemoryRecord r;
  const int16_t high = AmpsToRaw(b.rmsAmps, f.high);
  if (std::abs(static_cast<int>(high)) >= proto::HighRangeThreshold(config.version)) {
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
  r.yearByte = YearByte(t);
  if (r.yearByte == proto::kEmptyYear) r.yearByte = proto::kEmptyYear - 1;  // 2255 would read as empty
  return r;
}

SimDevice::SimDevice(DeviceOptions options, IClock& clock)
    : options_(std::move(options)),
      config_(options_.config),
      watch_(clock),
      clock_(clock, options_.startTime, options_.clockStopped),
      battery_(options_.seed, ProfileFor(config_)),
      memory_(proto::MemoryPagesForVersion(config_.version)),
      faults_(options_.faults) {
  if (options_.profile == ProfileKind::kNone) {
    FillMemory(clock_.Now());
  } else {
    FillMemoryFromProfile(clock_.Now());
  }
}

void SimDevice::FillMemoryFromProfile(const LocalTime& end) {
  // The test began when the first record was logged and has run ever since: the records
  // and the live readings are one timeline.
  const std::size_t n = std::min(options_.records, memory_.CapacityRecords());
  const uint64_t period = config_.RecordPeriodMs();
  profileLiveFromMs_ = n * period;
  const int64_t first = CivilToMs(end) - static_cast<int64_t>(profileLiveFromMs_);
  const int64_t day = static_cast<int64_t>(ProfileBattery::kDayMs);
  const auto timeOfDay = static_cast<uint64_t>(((first % day) + day) % day);
  profile_.emplace(options_.profile, CellModel{static_cast<double>(config_.nominalVoltage), 100.0}, timeOfDay,
                   options_.seed);
  memory_.Reserve(n);
  for (std::size_t k = 0; k < n; ++k) {
    const uint64_t at = k * period;
    memory_.Append(BuildRecord(profile_->At(at).battery, AtMs(first + static_cast<int64_t>(at)), config_));
  }
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
  if (profile_) return profile_->At(profileLiveFromMs_ + watch_.ElapsedMs()).battery;
  return battery_.At(watch_.ElapsedMs());
}

MeasurementRegisters SimDevice::MeasurementLocked() {
  if (options_.fixedRegisters) return *options_.fixedRegisters;
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
  r.request = ClassifyRequest(f);
  switch (r.request) {
    case RequestKind::kUnknown:
    case RequestKind::kBadCrc:
      break;
    case RequestKind::kPage:
      r.bursts.push_back({0, memory_.ReadPage(Be16(f, proto::kStartRegisterOffset))});
      break;
    case RequestKind::kMeasurement:
      r.bursts.push_back({0, RegisterReply(proto::kFnReadInput, MeasurementLocked(),
                                           Be16(f, proto::kStartRegisterOffset), Be16(f, proto::kRegisterCountOffset))});
      break;
    case RequestKind::kConfigRead:
      r.bursts.push_back({0, RegisterReply(proto::kFnReadConfig, BuildConfigRegisters(config_),
                                           Be16(f, proto::kStartRegisterOffset), Be16(f, proto::kRegisterCountOffset))});
      break;
    case RequestKind::kClockWrite: {
      const uint16_t start = Be16(f, proto::kStartRegisterOffset);
      if (start == proto::kClockRegister && options_.clockRegister5Only) {
        // This logger knows its clock at register 5 only: register 11 is one it does not answer.
        r.request = RequestKind::kUnknown;
        break;
      }
      LocalTime t;
      t.second = f[proto::kClockSecondOffset];
      t.hour = f[proto::kClockHourOffset];
      t.minute = f[proto::kClockMinuteOffset];
      t.month = f[proto::kClockMonthOffset];
      t.day = f[proto::kClockDayOffset];
      t.year = proto::kYearBase + f[proto::kClockYearOffset];
      clock_.Set(t);
      r.bursts.push_back({0, WriteAck(start, Be16(f, proto::kRegisterCountOffset))});
      break;
    }
    case RequestKind::kErase:
      memory_.Erase();
      ++counters_.erases;
      r.bursts.push_back({options_.eraseMs, WriteAck(Be16(f, proto::kStartRegisterOffset),
                                                     Be16(f, proto::kRegisterCountOffset))});
      break;
    case RequestKind::kConfigWrite: {
      config_.configWord = Be16(f, proto::kConfigWordOffset);
      config_.shuntMillivolts = Be16(f, proto::kConfigWriteMillivoltsOffset);
      config_.shuntAmps = Be16(f, proto::kConfigWriteAmpsOffset);
      std::vector<uint8_t> ack{proto::kDeviceAddress, proto::kFnWriteConfig};
      AppendCrc(ack);
      r.bursts.push_back({0, std::move(ack)});
      break;
    }
  }
  return r;
}

MeasurementRegisters SimDevice::Measurement() {
  std::lock_guard lock(mu_);
  return MeasurementLocked();
}

ConfigRegisters SimDevice::Configuration() const {
  std::lock_guard lock(mu_);
  return BuildConfigRegisters(config_);
}

DeviceConfig SimDevice::Config() const {
  std::lock_guard lock(mu_);
  return config_;
}

void SimDevice::SetIdentity(uint16_t serial, std::optional<uint16_t> version) {
  std::lock_guard lock(mu_);
  config_.serial = serial;
  if (version) config_.version = *version;
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
