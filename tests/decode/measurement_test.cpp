// The measurement reply: the displayed current by version and range, voltage, power,
// capacity and the logger's clock, text for text.
#include <gtest/gtest.h>

#include <string>

#include "decode_fixture.h"

namespace {

using ztest::Measurement;

// ---- displayed current and power ---------------------------------------------------------

struct CurrentCase {
  const char* name;
  int version;
  unsigned shuntAmps;
  unsigned shuntMillivolts;
  int16_t i50Rms;
  int16_t i300Rms;
  const char* current;
  const char* power;  // at 24.00 V
};

class DisplayedCurrent : public ztest::DecodeFixture, public ::testing::WithParamInterface<CurrentCase> {};

TEST_P(DisplayedCurrent, FollowsTheVersionAndTheHighRangeReading) {
  const CurrentCase& c = GetParam();
  dlg->m_nDeviceVersion = c.version;
  dlg->m_nDevShuntA = c.shuntAmps;
  dlg->m_nDevShuntMv = c.shuntMillivolts;
  // The channels' other readings must not be taken for the displayed one.
  Decode(ztest::MeasurementReply(
      {.i50Dc = 4321, .i50Ac = -4321, .i50Rms = c.i50Rms, .i300Dc = 2222, .i300Ac = -2222, .i300Rms = c.i300Rms,
       .voltage = 5000}));
  EXPECT_EQ(Text(IDC_CURRENT), c.current);
  EXPECT_EQ(Text(IDC_VOLTAGE), "24.00");
  EXPECT_EQ(Text(IDC_POWER), c.power);
}

// Shunt 300 A / 50 mV: H = 300 A and L = 50 A at 5000 counts, except version 210 (L = A / 20
// = 15) and version 10 (H = 300 * 75 / 50 / 4 = 112, L = 11.2).
INSTANTIATE_TEST_SUITE_P(
    Table, DisplayedCurrent,
    ::testing::Values(CurrentCase{"V8BelowSwitch", 8, 300, 50, 1234, 999, "12.34", "296.16"},
                      CurrentCase{"V8AtSwitch", 8, 300, 50, 1234, 1000, "60.00", "1440.00"},
                      CurrentCase{"V8LowRangeNegative", 8, 300, 50, -1234, 0, "-12.34", "-296.16"},
                      CurrentCase{"V110AtNegativeSwitch", 110, 300, 50, 1234, -1000, "-60.00", "-1440.00"},
                      CurrentCase{"V110BelowNegativeSwitch", 110, 300, 50, 1234, -999, "12.34", "296.16"},
                      CurrentCase{"V120BelowSwitch", 120, 300, 50, 1234, 999, "12.34", "296.16"},
                      CurrentCase{"V120AtSwitch", 120, 300, 50, 1234, 1000, "60.00", "1440.00"},
                      CurrentCase{"V210BelowSwitch", 210, 300, 50, 1234, 499, "3.70", "88.85"},
                      CurrentCase{"V210AtSwitch", 210, 300, 50, 1234, 500, "30.00", "720.00"},
                      CurrentCase{"V210AtNegativeSwitch", 210, 300, 50, 1234, -500, "-30.00", "-720.00"},
                      CurrentCase{"V210FullScale", 210, 300, 50, 1234, 5000, "300.00", "7200.00"},
                      // No range switch: the low-range reading, however large the high-range one.
                      CurrentCase{"V10LowRangeOnly", 10, 300, 50, 5000, 3000, "11.20", "268.80"},
                      CurrentCase{"V10WithoutMillivolts", 10, 300, 0, 5000, 3000, "0.00", " 0.00"},
                      CurrentCase{"OtherVersionLowRangeOnly", 99, 300, 50, 1234, 3000, "12.34", "296.16"},
                      CurrentCase{"OtherVersionNegative", 7, 300, 50, -1234, -3000, "-12.34", "-296.16"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DisplayedCurrent, BeforeAnyConfigurationNoVariantApplies) {
  EXPECT_EQ(dlg->m_nDeviceVersion, 0);
  Decode(ztest::MeasurementReply({.i50Rms = 1234, .i300Rms = 3000, .voltage = 5000}));
  EXPECT_EQ(Text(IDC_CURRENT), "12.34") << "the low-range reading at 50 A per 5000 counts";
  EXPECT_EQ(Text(IDC_POWER), "296.16");
}

// ---- version 10: the scale factors from the shunt rating -----------------------------------

struct Version10Case {
  const char* name;
  unsigned shuntAmps;
  unsigned shuntMillivolts;
  float high;
  const char* capacity;  // a charge of 5000 counts, that is L
};

class Version10Scale : public ztest::DecodeFixture, public ::testing::WithParamInterface<Version10Case> {};

TEST_P(Version10Scale, TruncatesEachDivision) {
  const Version10Case& c = GetParam();
  dlg->m_nDeviceVersion = 10;
  dlg->m_nDevShuntA = c.shuntAmps;
  dlg->m_nDevShuntMv = c.shuntMillivolts;
  Decode(ztest::MeasurementReply({.charge = 5000}));
  EXPECT_EQ(dlg->m_fScaleHigh, c.high);
  EXPECT_EQ(Text(IDC_CAPACITY), c.capacity);
}

INSTANTIATE_TEST_SUITE_P(Table, Version10Scale,
                         ::testing::Values(Version10Case{"Shunt300A50mV", 300, 50, 112.0f, "11.20"},
                                           Version10Case{"Shunt300A75mV", 300, 75, 75.0f, " 7.50"},
                                           Version10Case{"Shunt100A30mV", 100, 30, 62.0f, " 6.20"},
                                           Version10Case{"NoMillivolts", 300, 0, 0.0f, " 0.00"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- voltage ------------------------------------------------------------------------------

struct VoltageCase {
  const char* name;
  unsigned nominal;
  uint16_t raw;
  const char* text;
};

class Voltage : public ztest::DecodeFixture, public ::testing::WithParamInterface<VoltageCase> {};

TEST_P(Voltage, IsScaledByTheNominalVoltage) {
  dlg->m_nNominalVoltage = GetParam().nominal;
  Decode(ztest::MeasurementReply({.voltage = GetParam().raw}));
  EXPECT_EQ(Text(IDC_VOLTAGE), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, Voltage,
                         ::testing::Values(VoltageCase{"FullScale24V", 24, 5000, "24.00"},
                                           VoltageCase{"Half12V", 12, 2500, "6.00"},
                                           VoltageCase{"Zero", 24, 0, "0.00"},
                                           VoltageCase{"RawIsUnsigned", 24, 65535, "314.57"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- capacity -----------------------------------------------------------------------------

struct ChargeCase {
  const char* name;
  int32_t raw;
  const char* text;  // at L = 50 A per 5000 counts
};

class Capacity : public ztest::DecodeFixture, public ::testing::WithParamInterface<ChargeCase> {};

TEST_P(Capacity, IsTheSignedCounterAtTheLowRangeScale) {
  Decode(ztest::MeasurementReply({.charge = GetParam().raw}));
  EXPECT_EQ(Text(IDC_CAPACITY), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, Capacity,
                         ::testing::Values(ChargeCase{"Negative", -314, "-3.14"}, ChargeCase{"PaddedToFive", 100, " 1.00"},
                                           ChargeCase{"Zero", 0, " 0.00"},
                                           ChargeCase{"HighWordCounts", 70000, "700.00"},
                                           ChargeCase{"NegativeAcrossWords", -100000, "-1000.00"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the logger's date and time -------------------------------------------------------------

struct ClockCase {
  const char* name;
  Measurement m;
  const char* text;
};

class DeviceClock : public ztest::DecodeFixture, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(DeviceClock, ShowsDayMonthYearAndSecondsWithTheirFraction) {
  Decode(ztest::MeasurementReply(GetParam().m));
  EXPECT_EQ(Text(IDC_DATETIME), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeviceClock,
    ::testing::Values(
        ClockCase{"SecondsWithoutLeadingZero",
                  {.milliseconds = 9500, .hour = 14, .minute = 5, .month = 3, .day = 7, .year = 15},
                  "07_03_2015 14:05:9.50"},
        ClockCase{"RoundsUpToSixty", {.milliseconds = 59996, .hour = 23, .minute = 59, .month = 12, .day = 31, .year = 99},
                  "31_12_2099 23:59:60.00"},
        ClockCase{"LastMillisecond", {.milliseconds = 59999, .hour = 0, .minute = 0, .month = 1, .day = 1, .year = 0},
                  "01_01_2000 00:00:60.00"},
        ClockCase{"StartOfTheMinute", {.milliseconds = 0, .hour = 9, .minute = 30, .month = 10, .day = 2, .year = 24},
                  "02_10_2024 09:30:0.00"},
        ClockCase{"LatestYear", {.milliseconds = 12340, .hour = 1, .minute = 2, .month = 6, .day = 15, .year = 255},
                  "15_06_2255 01:02:12.34"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- status, and a reply cut short -----------------------------------------------------------

using MeasurementStatus = ztest::DecodeFixture;

TEST_F(MeasurementStatus, ShowsDataAcceptedInEitherLanguage) {
  Decode(ztest::MeasurementReply({}));
  EXPECT_EQ(Text(IDC_STATUS), "Данные приняты");
  Language(1);
  Decode(ztest::MeasurementReply({}));
  EXPECT_EQ(Text(IDC_STATUS), "Data accepted");
}

TEST_F(MeasurementStatus, ARecordingPeriodBeingEditedIsRewrittenFromItsMember) {
  Type(IDC_RECORD_PERIOD, "2.5");
  Decode(ztest::MeasurementReply({}));
  EXPECT_EQ(Text(IDC_RECORD_PERIOD), "0.33");
}

struct ShortCase {
  const char* name;
  std::size_t keep;  // bytes of the reply kept before the new CRC
  int language;
  const char* status;
};

class ShortMeasurement : public ztest::DecodeFixture, public ::testing::WithParamInterface<ShortCase> {};

TEST_P(ShortMeasurement, ChangesNoReadingOnlyTheStatus) {
  const ShortCase& c = GetParam();
  Decode(ztest::MeasurementReply({.i50Rms = 1234, .voltage = 5000, .charge = -314, .milliseconds = 9500, .hour = 14,
                                  .minute = 5, .month = 3, .day = 7, .year = 15}));
  ASSERT_EQ(Text(IDC_CURRENT), "12.34");
  Language(c.language);
  const auto before = Decodable();

  const ztest::Bytes full = ztest::MeasurementReply({.i50Rms = 2000, .i300Rms = 3000, .voltage = 2500, .charge = 900,
                                                     .milliseconds = 100, .hour = 1, .minute = 2, .month = 4, .day = 5,
                                                     .year = 16});
  Decode(ztest::Cut(full, c.keep));

  EXPECT_EQ(Text(IDC_STATUS), c.status);
  EXPECT_EQ(Decodable(), before);
  EXPECT_TRUE(view.MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Table, ShortMeasurement,
                         ::testing::Values(ShortCase{"HeaderOnlyRu", 2, 0, "Неполный ответ"},
                                           ShortCase{"UpToTheVoltageEn", 15, 1, "Incomplete reply"},
                                           // The last byte read, the year, is missing.
                                           ShortCase{"WithoutTheYearEn", 30, 1, "Incomplete reply"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
