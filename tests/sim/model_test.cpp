// The device model: current scaling as the program reads it back, the battery, the device
// clock's calendar, and the record memory.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>
#include <cstdlib>

#include "sim/battery_model.h"
#include "sim/battery_test_profile.h"
#include "sim/device.h"
#include "sim/device_clock.h"
#include "sim/frames.h"
#include "test_util.h"

namespace zv::sim {
namespace {

struct FactorCase {
  const char* name;
  DeviceConfig config;
  float high;
  float low;
};

class Factors : public ::testing::TestWithParam<FactorCase> {};

TEST_P(Factors, AreThoseTheProgramDerives) {
  const ScaleFactors f = ProgramFactors(GetParam().config);
  EXPECT_FLOAT_EQ(f.high, GetParam().high);
  EXPECT_FLOAT_EQ(f.low, GetParam().low);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, Factors,
    ::testing::Values(
        FactorCase{"v8_takes_device_shunt", {8, 1, 75, 500, 24, 33}, 500.0f, 75.0f},
        FactorCase{"v10_program_start_shunt", {10, 1, 75, 500, 24, 33}, 112.0f, 11.2f},
        FactorCase{"v110_forced", {110, 1, 75, 500, 24, 33}, 300.0f, 50.0f},
        FactorCase{"v120_forced", {120, 1, 75, 500, 24, 33}, 300.0f, 50.0f},
        FactorCase{"v210_device_amps", {210, 1, 75, 500, 24, 33}, 500.0f, 25.0f},
        FactorCase{"v210_300a", {210, 1, 50, 300, 24, 33}, 300.0f, 15.0f},
        FactorCase{"v8_zero_mv_gives_zero_low", {8, 1, 0, 300, 24, 33}, 300.0f, 0.0f}),
    [](const auto& info) { return std::string(info.param.name); });

// The program's choice of the displayed current from a measurement reply.
double ProgramCurrent(const MeasurementRegisters& r, const DeviceConfig& c) {
  const ScaleFactors f = ProgramFactors(c);
  const auto lowRms = static_cast<int16_t>(r[2]);
  const auto highRms = static_cast<int16_t>(r[5]);
  if (std::abs(static_cast<int>(highRms)) < proto::HighRangeThreshold(c.version)) return lowRms * f.low / 5000.0;
  return highRms * f.high / 5000.0;
}

struct ReadBack {
  uint16_t version;
  double amps;
  bool highRange;
};

class ReadBackCases : public ::testing::TestWithParam<ReadBack> {};

TEST_P(ReadBackCases, ProgramShowsTheAmperesTheModelMeant) {
  DeviceConfig c;
  c.version = GetParam().version;
  c.shuntMillivolts = 50;
  c.shuntAmps = 300;
  c.nominalVoltage = 48;
  BatterySample b;
  b.dcAmps = b.rmsAmps = GetParam().amps;
  b.acAmps = 0.5;
  b.volts = 51.37;
  b.chargeAh = -3.14159;
  const MeasurementRegisters r = BuildMeasurementRegisters(b, testing::Time(2024, 1, 1, 0, 0, 0), c);
  const ScaleFactors f = ProgramFactors(c);
  const bool high = std::abs(static_cast<int16_t>(r[5])) >= proto::HighRangeThreshold(c.version);
  EXPECT_EQ(high, GetParam().highRange);
  const double resolution = (high ? f.high : f.low) / 5000.0;
  EXPECT_NEAR(ProgramCurrent(r, c), GetParam().amps, resolution / 2 + 1e-9);
  EXPECT_NEAR(static_cast<uint16_t>(r[6]) * 48 / 5000.0, 51.37, 48 / 5000.0);
  const auto charge = static_cast<int32_t>((static_cast<uint32_t>(r[7]) << 16) | r[8]);
  EXPECT_NEAR(charge * f.low / 5000.0, -3.14159, f.low / 5000.0);
  EXPECT_NEAR(static_cast<int16_t>(r[1]) * f.low / 5000.0, 0.5, f.low / 5000.0);
  EXPECT_NEAR(static_cast<int16_t>(r[4]) * f.high / 5000.0, 0.5, f.high / 5000.0);
}

INSTANTIATE_TEST_SUITE_P(Currents, ReadBackCases,
                         ::testing::Values(ReadBack{110, 12.34, false}, ReadBack{110, -59.0, false},
                                           ReadBack{110, 61.0, true}, ReadBack{110, -150.0, true},
                                           ReadBack{120, 20.0, false}, ReadBack{8, 7.5, false},
                                           ReadBack{8, -200.0, true}, ReadBack{210, 29.0, false},
                                           ReadBack{210, -31.0, true}),
                         [](const auto& info) {
                           return "v" + std::to_string(info.param.version) + "_case" + std::to_string(info.index) +
                                  (info.param.highRange ? "_high" : "_low");
                         });

TEST(Scaling, SaturatesInsteadOfWrapping) {
  EXPECT_EQ(AmpsToRaw(1e9, 50.0f), 32767);
  EXPECT_EQ(AmpsToRaw(-1e9, 50.0f), -32768);
  EXPECT_EQ(AmpsToRaw(10.0, 0.0f), 0);
  EXPECT_EQ(VoltsToRaw(-1.0, 24), 0);
  EXPECT_EQ(VoltsToRaw(24.0, 24), 5000);
  EXPECT_EQ(VoltsToRaw(5.0, 0), 0);
}

BatteryProfile Profile() { return BatteryProfile{24.0, 60.0, 240.0}; }

TEST(Battery, SameSeedSameBatteryOtherSeedOtherBattery) {
  BatteryModel a(7, Profile()), b(7, Profile()), c(8, Profile());
  bool differs = false;
  for (uint64_t t = 0; t < 120000; t += 1000) {
    const BatterySample sa = a.At(t), sb = b.At(t), sc = c.At(t);
    EXPECT_EQ(sa.dcAmps, sb.dcAmps);
    EXPECT_EQ(sa.chargeAh, sb.chargeAh);
    differs |= sa.dcAmps != sc.dcAmps;
  }
  EXPECT_TRUE(differs);
}

TEST(Battery, AlternatesAndUsesBothRanges) {
  BatteryModel m(1, Profile());
  int charging = 0, discharging = 0, small = 0, large = 0;
  for (uint64_t t = 0; t < 600000; t += 250) {
    const BatterySample s = m.At(t);
    ++(s.dcAmps > 0 ? charging : discharging);
    ++(std::fabs(s.rmsAmps) < 60.0 ? small : large);
    EXPECT_GE(s.acAmps, 0.0);
    EXPECT_NEAR(std::fabs(s.rmsAmps), std::hypot(s.dcAmps, s.acAmps), 1e-9);
    EXPECT_EQ(s.rmsAmps < 0, s.dcAmps < 0);
    EXPECT_LT(std::fabs(s.dcAmps), 260.0);
    EXPECT_GT(s.volts, 0.0);
  }
  EXPECT_GT(charging, 100);
  EXPECT_GT(discharging, 100);
  EXPECT_GT(small, 100);
  EXPECT_GT(large, 100);
}

TEST(Battery, ChargeCounterIntegratesTheCurrent) {
  BatteryModel m(3, Profile());
  double integrated = m.At(0).chargeAh;
  for (uint64_t t = 0; t < 300000; t += 10) {
    integrated += m.At(t + 5).dcAmps * 0.010 / 3600.0;  // midpoint rule over 10 ms
    if (t % 50000 == 0) {
      EXPECT_NEAR(m.At(t + 10).chargeAh, integrated, 0.01) << "at " << t;
    }
  }
}

TEST(Battery, VoltageRisesWithChargingCurrent) {
  BatteryModel m(5, Profile());
  double sumCharging = 0, sumDischarging = 0;
  int nc = 0, nd = 0;
  for (uint64_t t = 0; t < 600000; t += 500) {
    const BatterySample s = m.At(t);
    if (s.dcAmps > 100) {
      sumCharging += s.volts;
      ++nc;
    } else if (s.dcAmps < -100) {
      sumDischarging += s.volts;
      ++nd;
    }
  }
  ASSERT_GT(nc, 0);
  ASSERT_GT(nd, 0);
  EXPECT_GT(sumCharging / nc, sumDischarging / nd);
}

TEST(Battery, AnswersQueriesOutOfOrder) {
  BatteryModel forward(9, Profile()), backward(9, Profile());
  const BatterySample late = backward.At(100000);
  const BatterySample early = backward.At(1000);
  EXPECT_EQ(forward.At(1000).chargeAh, early.chargeAh);
  EXPECT_EQ(forward.At(100000).chargeAh, late.chargeAh);
}

TEST(DeviceClockCalendar, RoundTripsAcrossLeapYearsAndCenturies) {
  for (const LocalTime& t : {testing::Time(2000, 1, 1, 0, 0, 0), testing::Time(2000, 2, 29, 12, 30, 15, 250),
                             testing::Time(1999, 12, 31, 23, 59, 59, 999), testing::Time(2100, 3, 1, 0, 0, 0),
                             testing::Time(2254, 12, 31, 23, 59, 59)}) {
    const LocalTime back = MsToCivil(CivilToMs(t));
    EXPECT_EQ(back.year, t.year);
    EXPECT_EQ(back.month, t.month);
    EXPECT_EQ(back.day, t.day);
    EXPECT_EQ(back.hour, t.hour);
    EXPECT_EQ(back.minute, t.minute);
    EXPECT_EQ(back.second, t.second);
    EXPECT_EQ(back.millisecond, t.millisecond);
  }
  EXPECT_EQ(CivilToMs(testing::Time(2000, 1, 1, 0, 0, 0)), 0);
  EXPECT_EQ(CivilToMs(testing::Time(2000, 3, 1, 0, 0, 0)) - CivilToMs(testing::Time(2000, 2, 28, 0, 0, 0)),
            2 * 86400000LL);
  EXPECT_EQ(CivilToMs(testing::Time(2100, 3, 1, 0, 0, 0)) - CivilToMs(testing::Time(2100, 2, 28, 0, 0, 0)),
            86400000LL);
}

TEST(Records, EncodeLittleEndianWithTheChargeHighWordFirst) {
  MemoryRecord r;
  r.current = -2;  // FE FF
  r.voltage = 0x1234;
  r.charge = 0x00010002;
  r.millisecondsInMinute = 59999;  // 5F EA
  r.minute = 5;
  r.hour = 14;
  r.day = 7;
  r.month = 3;
  r.yearByte = 15;
  r.rangeFlag = 1;
  EXPECT_EQ(HexBytes(EncodeRecord(r)), "FE FF 34 12 01 00 02 00 5F EA 05 0E 07 03 0F 01");
  const RecordBytes b = EncodeRecord(r);
  EXPECT_EQ(DecodeRecord(b.data()), r);
}

TEST(Records, ChargeBytesDecodeAsTheProgramReadsThem) {
  const auto chargeOf = [](const char* bytes4to7) {
    std::vector<uint8_t> rec = testing::Hex(std::string("00 00 00 00 ") + bytes4to7 + " 00 00 00 00 00 00 00 00");
    return DecodeRecord(rec.data()).charge;
  };
  EXPECT_EQ(chargeOf("00 00 01 00"), 1);
  EXPECT_EQ(chargeOf("01 00 00 00"), 65536);
  EXPECT_EQ(chargeOf("FF FF FF FF"), -1);
}

class MemoryContents : public ::testing::Test {
 protected:
  MemoryContents() {
    clock_.SetLocalTime(testing::Time(2024, 3, 15, 10, 20, 30));
    DeviceOptions o;
    o.records = 300;
    o.config.configWord = 50 | 0x1000;  // 0.5 s, event flag: the period alone counts
    device_ = std::make_unique<SimDevice>(o, clock_);
  }
  VirtualClock clock_;
  std::unique_ptr<SimDevice> device_;
};

TEST_F(MemoryContents, PagesHoldTheRecordsLittleEndianThenEmptySlots) {
  ASSERT_EQ(device_->RecordCount(), 300u);
  const std::vector<uint8_t> first = device_->Page(0);
  const std::vector<uint8_t> second = device_->Page(16);
  ASSERT_EQ(first.size(), 4096u);
  ASSERT_EQ(second.size(), 4096u);
  for (std::size_t k = 0; k < 300; ++k) {
    const uint8_t* b = (k < 256 ? first.data() : second.data()) + (k % 256) * 16;
    const MemoryRecord r = device_->Record(k);
    EXPECT_EQ(static_cast<int16_t>(b[0] | (b[1] << 8)), r.current) << k;
    EXPECT_EQ(static_cast<int16_t>(b[2] | (b[3] << 8)), r.voltage) << k;
    EXPECT_EQ(static_cast<int32_t>((static_cast<uint32_t>(b[4] | (b[5] << 8)) << 16) | static_cast<uint32_t>(b[6] | (b[7] << 8))), r.charge) << k;
    EXPECT_EQ(b[8] | (b[9] << 8), r.millisecondsInMinute) << k;
    EXPECT_NE(b[14], 255) << k;
  }
  for (std::size_t slot = 300 - 256; slot < 256; ++slot) {
    for (std::size_t i = 0; i < 16; ++i) ASSERT_EQ(second[slot * 16 + i], 0xFF) << "slot " << slot;
  }
  const std::vector<uint8_t> third = device_->Page(32);
  EXPECT_EQ(std::count(third.begin(), third.end(), 0xFF), 4096);
}

TEST_F(MemoryContents, RecordsAreOnePeriodApartAndEndBeforeTheStart) {
  auto msOf = [](const MemoryRecord& r) {
    return CivilToMs(LocalTime{2000 + r.yearByte, r.month, r.day, r.hour, r.minute, 0, 0}) + r.millisecondsInMinute;
  };
  for (std::size_t k = 1; k < 300; ++k) {
    EXPECT_EQ(msOf(device_->Record(k)) - msOf(device_->Record(k - 1)), 500) << k;
  }
  EXPECT_EQ(CivilToMs(testing::Time(2024, 3, 15, 10, 20, 30)) - msOf(device_->Record(299)), 500);
}

TEST_F(MemoryContents, RecordsUseBothRangesWithTheRightFactors) {
  const ScaleFactors f = device_->Factors();
  int low = 0, high = 0;
  for (std::size_t k = 0; k < 300; ++k) {
    const MemoryRecord r = device_->Record(k);
    const double amps = r.current * (r.rangeFlag ? f.high : f.low) / 5000.0;
    if (r.rangeFlag) {
      ++high;
      EXPECT_GE(std::fabs(amps), 1000 * f.high / 5000.0 - f.high / 5000.0) << k;
    } else {
      ++low;
      EXPECT_LT(std::fabs(amps), 1000 * f.high / 5000.0) << k;
    }
  }
  EXPECT_GT(low, 0);
  EXPECT_GT(high, 0);
}

TEST(CellModelTest, OpenCircuitVoltageRisesWithTheChargeAndScalesWithTheNominal) {
  for (const double nominal : {12.0, 24.0, 48.0}) {
    const CellModel cell{nominal, 100.0};
    double last = 0.0;
    for (int i = 0; i <= 1000; ++i) {
      const double v = cell.OpenCircuitVolts(i / 1000.0);
      ASSERT_GT(v, last) << nominal << " V at " << i / 10.0 << " %";
      last = v;
    }
    const CellModel reference{24.0, 100.0};
    EXPECT_NEAR(cell.OpenCircuitVolts(0.5) / nominal, reference.OpenCircuitVolts(0.5) / 24.0, 1e-12);
    // An empty battery is below the cut-off once loaded, a full one still takes a charge.
    EXPECT_LT(cell.TerminalVolts(0.0, -cell.DischargeAmps()), cell.CutOffVolts());
    EXPECT_LT(cell.OpenCircuitVolts(1.0), cell.ChargeLimitVolts());
    EXPECT_DOUBLE_EQ(cell.TerminalVolts(0.3, 10.0), cell.OpenCircuitVolts(0.3) + 10.0 * cell.ResistanceOhms());
  }
}

// The stages of a capacity test as it runs, second by second.
struct StageRun {
  ProfilePhase phase;
  uint64_t startMs = 0;
  uint64_t endMs = 0;
  ProfileSample first, last;
};

std::vector<StageRun> RunCapacityTest(ProfileBattery& p, uint64_t untilMs) {
  std::vector<StageRun> runs;
  for (uint64_t t = 0; t < untilMs; t += 1000) {
    const ProfileSample s = p.At(t);
    if (runs.empty() || runs.back().phase != s.phase) runs.push_back({s.phase, t, t, s, s});
    runs.back().endMs = t + 1000;
    runs.back().last = s;
  }
  return runs;
}

TEST(CapacityTest, RestsDischargesToTheCutOffRestsAndChargesToFullThenAgain) {
  ProfileBattery p(ProfileKind::kCapacity, CellModel{24.0, 100.0});
  const uint64_t cycle = p.CycleMs();
  ASSERT_GT(cycle, 3 * 3600 * 1000ull);
  ASSERT_LT(cycle, 6 * 3600 * 1000ull);
  const std::vector<StageRun> runs = RunCapacityTest(p, cycle + 60000);
  const std::vector<ProfilePhase> order = {ProfilePhase::kRest, ProfilePhase::kDischarge, ProfilePhase::kRest,
                                           ProfilePhase::kChargeConstantCurrent,
                                           ProfilePhase::kChargeConstantVoltage, ProfilePhase::kRest};
  ASSERT_EQ(runs.size(), order.size());
  for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(runs[i].phase, order[i]) << i;
  const CellModel& cell = p.Cell();

  EXPECT_EQ(runs[0].endMs - runs[0].startMs, ProfileBattery::kRestBeforeMs);
  EXPECT_EQ(runs[2].endMs - runs[2].startMs, ProfileBattery::kRestAfterMs);
  EXPECT_EQ(runs[5].startMs, cycle);

  // The discharge: constant current until the loaded voltage meets the cut-off.
  const StageRun& d = runs[1];
  EXPECT_DOUBLE_EQ(d.first.battery.dcAmps, -cell.DischargeAmps());
  EXPECT_DOUBLE_EQ(d.last.battery.dcAmps, -cell.DischargeAmps());
  EXPECT_GT(d.last.battery.volts, cell.CutOffVolts());
  EXPECT_LT(d.last.battery.volts, cell.CutOffVolts() + 0.01);
  EXPECT_GT(d.last.soc, 0.0);
  const double hours = static_cast<double>(d.endMs - d.startMs) / 3.6e6;
  EXPECT_NEAR(d.first.battery.chargeAh - runs[2].first.battery.chargeAh, cell.DischargeAmps() * hours, 1e-6);
  EXPECT_NEAR(d.first.soc - runs[2].first.soc, cell.DischargeAmps() * hours / cell.capacityAh, 1e-9);
  // At rest the voltage recovers to the open-circuit voltage.
  EXPECT_NEAR(runs[2].first.battery.volts, cell.OpenCircuitVolts(runs[2].first.soc), 1e-9);
  EXPECT_GT(runs[2].first.battery.volts, d.last.battery.volts + 1.0);

  // The charge: constant current up to the charger's voltage, then that voltage with a
  // falling current until full.
  EXPECT_DOUBLE_EQ(runs[3].first.battery.dcAmps, cell.ChargeAmps());
  EXPECT_LT(runs[3].last.battery.volts, cell.ChargeLimitVolts());
  const StageRun& cv = runs[4];
  EXPECT_LT(cv.last.battery.dcAmps, cv.first.battery.dcAmps / 2);
  EXPECT_NEAR(cv.first.battery.volts, cell.ChargeLimitVolts(), 0.01);
  EXPECT_DOUBLE_EQ(runs[5].first.soc, 1.0);
  double lastAmps = cv.first.battery.dcAmps;
  for (uint64_t t = cv.startMs; t + 1000 < cv.endMs; t += 1000) {
    const ProfileSample s = p.At(t);
    EXPECT_LE(s.battery.dcAmps, lastAmps + 1e-9) << t;
    EXPECT_LE(s.battery.volts, cell.ChargeLimitVolts() + 1e-9) << t;
    lastAmps = s.battery.dcAmps;
  }
  // Every sample is the cell's terminal voltage for its current and charge.
  for (uint64_t t = 0; t < cycle; t += 777) {
    const ProfileSample s = p.At(t);
    EXPECT_NEAR(s.battery.volts, cell.TerminalVolts(s.soc, s.battery.dcAmps), 1e-9) << t;
  }
}

TEST(SolarDay, ChargesInTheSunAndDischargesInTheEvening) {
  // The profile starts at midnight: the sun follows the hours of its clock.
  ProfileBattery p(ProfileKind::kSolar, CellModel{12.0, 100.0}, 0, 3);
  EXPECT_EQ(p.CycleMs(), ProfileBattery::kDayMs);
  double night = -1e9, noon = 0, evening = 0, lowSoc = 1, highSoc = 0, peakLoad = 0;
  for (uint64_t t = 0; t < ProfileBattery::kDayMs; t += 1000) {
    const ProfileSample s = p.At(t);
    const double h = static_cast<double>(t) / 3.6e6;
    if (h < 5) night = std::max(night, s.battery.dcAmps);
    if (h >= 12 && h < 14) noon = std::max(noon, s.battery.dcAmps);
    if (h >= 20.5 && h < 22) evening = std::min(evening, s.battery.dcAmps);
    peakLoad = std::min(peakLoad, s.battery.dcAmps);
    lowSoc = std::min(lowSoc, s.soc);
    highSoc = std::max(highSoc, s.soc);
    ASSERT_LE(s.battery.volts, p.Cell().ChargeLimitVolts() + 1e-9) << t;
    ASSERT_NEAR(s.battery.volts, p.Cell().TerminalVolts(s.soc, s.battery.dcAmps), 1e-9) << t;
  }
  EXPECT_LT(night, 0.0);  // only loads before dawn
  EXPECT_GT(noon, 5.0);    // the panels outrun the loads
  EXPECT_LT(evening, -5.0);
  EXPECT_LT(peakLoad, -60.0);  // the pump needs the high range
  EXPECT_GT(highSoc - lowSoc, 0.1);
  EXPECT_GE(lowSoc, 0.0);
  EXPECT_LE(highSoc, 1.0);
}

struct ProfileDeviceCase {
  ProfileKind kind;
  uint16_t configWord;
  std::size_t records;
};

class ProfileDevice : public ::testing::TestWithParam<ProfileDeviceCase> {};

// The memory image and the live registers are two views of one battery test.
TEST_P(ProfileDevice, MemoryAndLiveRegistersFollowTheModel) {
  const ProfileDeviceCase c = GetParam();
  VirtualClock clock;
  const LocalTime start = testing::Time(2024, 3, 15, 10, 20, 30);
  clock.SetLocalTime(start);
  DeviceOptions o;
  o.profile = c.kind;
  o.config.configWord = c.configWord;
  o.records = c.records;
  o.seed = 5;
  SimDevice device(o, clock);
  ASSERT_EQ(device.RecordCount(), c.records);
  const uint64_t period = o.config.RecordPeriodMs();
  const int64_t first = CivilToMs(start) - static_cast<int64_t>(c.records * period);
  ProfileBattery model(c.kind, CellModel{24.0, 100.0}, static_cast<uint64_t>(first % 86400000), 5);
  for (std::size_t k = 0; k < c.records; k += 97) {
    const LocalTime at = MsToCivil(first + static_cast<int64_t>(k * period));
    ASSERT_EQ(device.Record(k), BuildRecord(model.At(k * period).battery, at, o.config)) << k;
  }
  uint64_t elapsed = 0;
  for (const uint32_t step : {0u, 1500u, 600000u}) {
    clock.Advance(step);
    elapsed += step;
    const uint64_t since = c.records * period + elapsed;
    EXPECT_EQ(device.Measurement(), BuildMeasurementRegisters(model.At(since).battery, device.Time(), o.config))
        << step;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProfileDevice,
                         ::testing::Values(ProfileDeviceCase{ProfileKind::kCapacity, 100, 15000},
                                           ProfileDeviceCase{ProfileKind::kCapacity, 33, 4000},
                                           ProfileDeviceCase{ProfileKind::kSolar, 100, 86400}),
                         [](const auto& info) {
                           return std::string(ProfileKindName(info.param.kind)) + "_" +
                                  std::to_string(info.param.configWord);
                         });

// The memory and the live registers of a logger with no battery test profile, as they have
// been since downloads were first compared against the memory image: a change of the model
// shows here before it shows as a download that no longer matches an older file.
TEST(DefaultBattery, MemoryAndRegistersStayByteForByte) {
  VirtualClock clock;
  clock.SetLocalTime(testing::Time(2024, 3, 15, 10, 20, 30));
  SimDevice device(DeviceOptions{}, clock);
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  const auto mix = [&](uint8_t b) { hash = (hash ^ b) * 1099511628211ull; };
  for (uint16_t address = 0; address < 16 * 12; address += 16) {
    for (const uint8_t b : device.Page(address)) mix(b);
  }
  clock.Advance(12345);
  for (const uint16_t r : device.Measurement()) {
    mix(static_cast<uint8_t>(r >> 8));
    mix(static_cast<uint8_t>(r & 0xFF));
  }
  EXPECT_EQ(hash, 12618860083954333837ull);
}

}  // namespace
}  // namespace zv::sim
