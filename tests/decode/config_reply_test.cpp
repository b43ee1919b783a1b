// The configuration reply: shunt rating by version, nominal voltage, the configuration word,
// the identity texts; and the event check box.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "decode_fixture.h"

namespace {

using ztest::Configuration;

// ---- shunt rating and its edits, by version ------------------------------------------------

struct ShuntCase {
  const char* name;
  std::optional<Configuration> earlier;  // a reply decoded before
  Configuration reply;
  unsigned millivolts;  // shown, sent and used for scaling
  unsigned amps;
  bool editsEnabled;
};

// Version 8 with a rating of its own, and edits enabled.
constexpr Configuration kVersion8{.version = 8, .serial = 1, .shuntMillivolts = 75, .shuntAmps = 500};

class ShuntRating : public ztest::DecodeFixture, public ::testing::WithParamInterface<ShuntCase> {};

TEST_P(ShuntRating, FollowsTheVersion) {
  const ShuntCase& c = GetParam();
  if (c.earlier) Decode(ztest::ConfigurationReply(*c.earlier));
  Decode(ztest::ConfigurationReply(c.reply));

  EXPECT_EQ(dlg->m_nDeviceVersion, c.reply.version);
  EXPECT_EQ(Text(IDC_SHUNT_MV), std::to_string(c.millivolts));
  EXPECT_EQ(Text(IDC_SHUNT_A), std::to_string(c.amps));
  EXPECT_EQ(dlg->m_nShuntMillivolts, c.millivolts);
  EXPECT_EQ(dlg->m_nShuntAmps, c.amps);
  EXPECT_EQ(dlg->m_nDevShuntMv, c.millivolts);
  EXPECT_EQ(dlg->m_nDevShuntA, c.amps);
  EXPECT_EQ(Control(IDC_SHUNT_MV).enabled, c.editsEnabled);
  EXPECT_EQ(Control(IDC_SHUNT_A).enabled, c.editsEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShuntRating,
    ::testing::Values(
        ShuntCase{"V8CopiesBothAndEnables", std::nullopt, kVersion8, 75, 500, true},
        ShuntCase{"V110ForcesTheFixedRating", std::nullopt,
                  {.version = 110, .shuntMillivolts = 80, .shuntAmps = 600}, 50, 300, false},
        ShuntCase{"V110AfterV8DisablesAgain", kVersion8, {.version = 110, .shuntMillivolts = 80, .shuntAmps = 600}, 50,
                  300, false},
        ShuntCase{"V120AfterV8DisablesAgain", kVersion8, {.version = 120, .shuntMillivolts = 80, .shuntAmps = 600}, 50,
                  300, false},
        ShuntCase{"V210TakesOnlyTheAmps", kVersion8, {.version = 210, .shuntMillivolts = 80, .shuntAmps = 600}, 75, 600,
                  false},
        ShuntCase{"V210AtStart", std::nullopt, {.version = 210, .shuntMillivolts = 80, .shuntAmps = 600}, 50, 600, false},
        // A logger that reports no rating of its own is read as a fresh start reads it, whichever
        // logger came before it.
        ShuntCase{"V10AfterV8TakesTheStartRating", kVersion8, {.version = 10, .shuntMillivolts = 80, .shuntAmps = 600},
                  50, 300, false},
        ShuntCase{"V10AtStart", std::nullopt, {.version = 10, .shuntMillivolts = 80, .shuntAmps = 600}, 50, 300, false},
        ShuntCase{"V10AfterV210TakesTheStartRating", Configuration{.version = 210, .shuntAmps = 600},
                  {.version = 10, .shuntMillivolts = 80, .shuntAmps = 700}, 50, 300, false},
        ShuntCase{"OtherVersionAfterV8TakesTheStartRating", kVersion8,
                  {.version = 9, .shuntMillivolts = 80, .shuntAmps = 600}, 50, 300, false},
        ShuntCase{"VersionZeroAfterV8TakesTheStartRating", kVersion8, {.version = 0, .shuntMillivolts = 80, .shuntAmps = 600},
                  50, 300, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShuntRating, TheUsersEditsAreNotTheScalingRating) {
  // A millivolt rating typed but not yet sent: a version that leaves the millivolts keeps both
  // pairs apart.
  Decode(ztest::ConfigurationReply(kVersion8));
  Type(IDC_SHUNT_MV, "60");
  Type(IDC_SHUNT_A, "250");
  dlg->UpdateData(TRUE);
  Decode(ztest::ConfigurationReply({.version = 210, .shuntMillivolts = 80, .shuntAmps = 600}));
  EXPECT_EQ(dlg->m_nShuntMillivolts, 60u);
  EXPECT_EQ(dlg->m_nShuntAmps, 600u);
  EXPECT_EQ(dlg->m_nDevShuntMv, 75u);
  EXPECT_EQ(dlg->m_nDevShuntA, 600u);
}

// 5000 counts on the low range read the low factor L: for version 10 with the start rating
// k = (300 * 75 / 50) / 4 = 112 and L = 11.2, whatever the logger read before it reported.
struct ScaleAfterCase {
  const char* name;
  std::optional<Configuration> earlier;
  const char* current;
};

class ScaleAfterAnotherLogger : public ztest::DecodeFixture, public ::testing::WithParamInterface<ScaleAfterCase> {};

TEST_P(ScaleAfterAnotherLogger, AVersion10LoggerScalesWithTheStartRating) {
  if (GetParam().earlier) Decode(ztest::ConfigurationReply(*GetParam().earlier));
  Decode(ztest::ConfigurationReply({.version = 10, .shuntMillivolts = 75, .shuntAmps = 100, .nominalVoltage = 24}));
  Decode(ztest::MeasurementReply({.i50Rms = 5000}));
  EXPECT_EQ(Text(IDC_CURRENT), GetParam().current);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScaleAfterAnotherLogger,
    ::testing::Values(ScaleAfterCase{"FreshStart", std::nullopt, "11.20"},
                      ScaleAfterCase{"AfterV8", Configuration{.version = 8, .shuntMillivolts = 75, .shuntAmps = 100}, "11.20"},
                      ScaleAfterCase{"AfterV210", Configuration{.version = 210, .shuntAmps = 100}, "11.20"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- configuration word ----------------------------------------------------------------------

struct WordCase {
  const char* name;
  uint16_t word;
  const char* period;
  int eventChecked;
};

class ConfigurationWord : public ztest::DecodeFixture, public ::testing::WithParamInterface<WordCase> {};

TEST_P(ConfigurationWord, GivesThePeriodAndTheEventFlag) {
  const WordCase& c = GetParam();
  Decode(ztest::ConfigurationReply({.version = 210, .word = c.word}));
  EXPECT_EQ(Text(IDC_RECORD_PERIOD), c.period);
  EXPECT_EQ(Control(IDC_EVENT_CHECK).check, c.eventChecked);
  EXPECT_EQ(dlg->m_bEventRecord, c.eventChecked);
  EXPECT_EQ(dlg->m_nEventBits, c.eventChecked != 0 ? 0x1000 : 0);
  EXPECT_EQ(dlg->m_nConfigWord, c.word);
}

INSTANTIATE_TEST_SUITE_P(Table, ConfigurationWord,
                         ::testing::Values(WordCase{"EventSet", 0x1021, "0.33", 1}, WordCase{"EventClear", 0x0021, "0.33", 0},
                                           WordCase{"TopBitsIgnored", 0xE021, "0.33", 0},
                                           WordCase{"AllHighBits", 0xF01E, "0.3", 1},
                                           WordCase{"FiveSeconds", 0x01F4, "5", 0},
                                           // Not range-checked on the way in.
                                           WordCase{"LongestPeriod", 0x0FFF, "40.95", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- identity ----------------------------------------------------------------------------------

struct IdentityCase {
  const char* name;
  Configuration reply;
  const char* voltage;
  const char* deviceName;
  const char* info;
};

class Identity : public ztest::DecodeFixture, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(Identity, NamesTheLoggerByVoltageAndSerial) {
  const IdentityCase& c = GetParam();
  Decode(ztest::ConfigurationReply(c.reply));
  EXPECT_EQ(Text(IDC_NOMINAL_VOLTAGE), c.voltage);
  EXPECT_EQ(dlg->m_nNominalVoltage, c.reply.nominalVoltage);
  EXPECT_EQ(dlg->m_nSerialNumber, c.reply.serial);
  EXPECT_EQ(dlg->m_strDeviceName.str(), c.deviceName);
  EXPECT_EQ(Text(IDC_DEVICE_INFO), c.info);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Identity,
    ::testing::Values(
        IdentityCase{"V210", {.version = 210, .serial = 123, .nominalVoltage = 24}, "24", "Zentrova-24 N00123",
                     "Verion_0210\r\nZentrova-24 N00123"},
        IdentityCase{"OneDigitVoltage", {.version = 8, .serial = 123, .nominalVoltage = 6}, "6", "Zentrova- 6 N00123",
                     "Verion_0008\r\nZentrova- 6 N00123"},
        IdentityCase{"LargestSerial", {.version = 110, .serial = 65535, .nominalVoltage = 120}, "120",
                     "Zentrova-120 N65535", "Verion_0110\r\nZentrova-120 N65535"},
        IdentityCase{"SmallNumbers", {.version = 1, .serial = 7, .nominalVoltage = 12}, "12", "Zentrova-12 N00007",
                     "Verion_0001\r\nZentrova-12 N00007"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Identity, TheNewVoltageScalesTheNextMeasurement) {
  Decode(ztest::ConfigurationReply({.version = 8, .shuntMillivolts = 50, .shuntAmps = 300, .nominalVoltage = 12}));
  Decode(ztest::MeasurementReply({.voltage = 5000}));
  EXPECT_EQ(Text(IDC_VOLTAGE), "12.00");
}

TEST_F(Identity, ShowsSuccessInEitherLanguage) {
  Decode(ztest::ConfigurationReply({.version = 8}));
  EXPECT_EQ(Text(IDC_STATUS), "Успешно");
  Language(1);
  Decode(ztest::ConfigurationReply({.version = 8}));
  EXPECT_EQ(Text(IDC_STATUS), "Successfully");
}

// ---- a configuration reply cut short -----------------------------------------------------------

using ShortConfiguration = ztest::DecodeFixture;

TEST_F(ShortConfiguration, KeepsWhatWasReadBeforeTheCut) {
  Decode(ztest::ConfigurationReply(
      {.version = 8, .serial = 1, .shuntMillivolts = 75, .shuntAmps = 500, .nominalVoltage = 24, .word = 0x01F4}));
  Language(1);
  // Version and serial arrive; the nominal voltage would start at the first missing byte.
  Decode(ztest::Cut(ztest::ConfigurationReply({.version = 110, .serial = 77, .shuntMillivolts = 80, .shuntAmps = 600,
                                               .nominalVoltage = 12, .word = 0x1021}),
                    9));

  EXPECT_EQ(Text(IDC_STATUS), "Incomplete reply");
  EXPECT_EQ(dlg->m_nDeviceVersion, 110);
  EXPECT_EQ(dlg->m_nSerialNumber, 77);
  EXPECT_EQ(Text(IDC_SHUNT_MV), "50");
  EXPECT_EQ(Text(IDC_SHUNT_A), "300");
  EXPECT_FALSE(Control(IDC_SHUNT_MV).enabled);
  EXPECT_FALSE(Control(IDC_SHUNT_A).enabled);
  // Nothing from the cut on: voltage, word and identity as the earlier reply left them.
  EXPECT_EQ(Text(IDC_NOMINAL_VOLTAGE), "24");
  EXPECT_EQ(Text(IDC_RECORD_PERIOD), "5");
  EXPECT_EQ(Control(IDC_EVENT_CHECK).check, 0);
  EXPECT_EQ(dlg->m_nConfigWord, 0x01F4);
  EXPECT_EQ(Text(IDC_DEVICE_INFO), "Verion_0008\r\nZentrova-24 N00001");
  EXPECT_TRUE(view.MessageBoxes().empty());
}

TEST_F(ShortConfiguration, StopsJustBeforeTheConfigurationWord) {
  // Thirteen bytes: the rating is whole, the two bytes after it are the CRC, which stands
  // where the nominal voltage would be; the word is missing.
  const ztest::Bytes cut =
      ztest::Cut(ztest::ConfigurationReply({.version = 8, .serial = 5, .shuntMillivolts = 60, .shuntAmps = 250,
                                            .nominalVoltage = 12, .word = 0x1021}),
                 11);
  ASSERT_EQ(cut.size(), 13u);
  Decode(cut);

  EXPECT_EQ(Text(IDC_STATUS), "Неполный ответ");
  EXPECT_EQ(Text(IDC_SHUNT_MV), "60");
  EXPECT_EQ(Text(IDC_SHUNT_A), "250");
  EXPECT_TRUE(Control(IDC_SHUNT_MV).enabled);
  EXPECT_EQ(dlg->m_nNominalVoltage, static_cast<unsigned>(cut[11] << 8 | cut[12]));
  EXPECT_EQ(dlg->m_nConfigWord, 33);
  EXPECT_EQ(Text(IDC_RECORD_PERIOD), "0.33");
  EXPECT_EQ(Text(IDC_DEVICE_INFO), "Tolvane Battery Logger");
  EXPECT_EQ(dlg->m_strDeviceName.str(), "");
}

// ---- the event check box ----------------------------------------------------------------------

using EventCheck = ztest::DecodeFixture;

TEST_F(EventCheck, KeepsTheEventBitOfTheWordToSend) {
  Click(IDC_EVENT_CHECK);
  EXPECT_EQ(dlg->m_bEventRecord, 1);
  EXPECT_EQ(dlg->m_nEventBits, 0x1000);
  Click(IDC_EVENT_CHECK);
  EXPECT_EQ(dlg->m_bEventRecord, 0);
  EXPECT_EQ(dlg->m_nEventBits, 0);
}

TEST_F(EventCheck, UnchecksAFlagTheLoggerReported) {
  Decode(ztest::ConfigurationReply({.version = 8, .word = 0x1021}));
  ASSERT_EQ(dlg->m_nEventBits, 0x1000);
  Click(IDC_EVENT_CHECK);
  EXPECT_EQ(dlg->m_nEventBits, 0);
  EXPECT_EQ(dlg->m_nConfigWord, 0x1021) << "the word is rebuilt only when a configuration is applied";
}

TEST_F(EventCheck, TakesTheOtherFieldsAsTyped) {
  Type(IDC_RECORD_PERIOD, "2");
  Click(IDC_EVENT_CHECK);
  EXPECT_EQ(dlg->m_fRecordPeriod, 2.0f);
}

}  // namespace
