// Set configuration and Synchronize clocks through their buttons, and the clean-up every
// operation does after a reply cut short.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/logger_fixture.h"

namespace {

using ztest::Bytes;
using Strings = std::vector<std::string>;

// ---- Set configuration --------------------------------------------------------------------------

zfw::InputEvent Typed(int id, const std::string& text) {
  zfw::InputEvent e;
  e.kind = zfw::InputEvent::Kind::kEditText;
  e.id = id;
  e.text = text;
  return e;
}

zfw::InputEvent Clicked(int id) {
  zfw::InputEvent e;
  e.kind = zfw::InputEvent::Kind::kClick;
  e.id = id;
  return e;
}

struct SetConfigCase {
  const char* name;
  std::optional<uint16_t> reportedWord;  // the word of a configuration reply decoded before
  std::vector<zfw::InputEvent> input;    // what the person does before the click
  Bytes sent;
  const char* period;  // shown in the field afterwards
};

class SetConfiguration : public ztest::LoggerFixture, public ::testing::WithParamInterface<SetConfigCase> {
 protected:
  void SetUp() override {
    LoggerFixture::SetUp();
    English();
    dlg->m_nPollPeriodMs = 450;
  }
};

TEST_P(SetConfiguration, SendsTheAppliedConfigurationAndRestartsTheLivePoll) {
  const SetConfigCase& c = GetParam();
  Answering();
  SelectPort(kPort);
  if (c.reportedWord) {
    ztest::Receive(*dlg, ztest::ConfigurationReply(
                             {.version = 8, .shuntMillivolts = 50, .shuntAmps = 300, .word = *c.reportedWord}));
    dlg->DecodeReply();
  }
  for (const zfw::InputEvent& e : c.input) Input(e);

  Click(IDC_SET_CONFIG);

  EXPECT_EQ(device->Written(), std::vector<Bytes>{c.sent});
  EXPECT_EQ(Text(IDC_RECORD_PERIOD), c.period);
  EXPECT_EQ(StatusHistory().back(), "Request") << "the logger's bare acknowledgement changes no text";
  EXPECT_EQ(dlg->Loop().TimerPeriod(1), 450u);
  EXPECT_EQ(device->OpenCount(), 1);
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(dlg->Controls().Focus(), IDC_SET_CONFIG);
  EXPECT_TRUE(view.MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, SetConfiguration,
    ::testing::Values(
        SetConfigCase{"StartValues", std::nullopt, {},
                      {0x01, 0x65, 0x0C, 0x00, 0x21, 0, 0, 0, 0, 0, 0, 0x00, 0x32, 0x01, 0x2C, 0xA7, 0x32}, "0.33"},
        SetConfigCase{"PeriodClampedWithEventFlag", std::nullopt,
                      {Typed(IDC_RECORD_PERIOD, "7"), Clicked(IDC_EVENT_CHECK)},
                      {0x01, 0x65, 0x0C, 0x11, 0xF4, 0, 0, 0, 0, 0, 0, 0x00, 0x32, 0x01, 0x2C, 0x55, 0xF7}, "5"},
        // The CRC covers the first 13 bytes only: the amperes are outside it.
        SetConfigCase{"ShortPeriodAndTypedRating", std::nullopt,
                      {Typed(IDC_RECORD_PERIOD, "0.7"), Typed(IDC_SHUNT_MV, "75"), Typed(IDC_SHUNT_A, "500")},
                      {0x01, 0x65, 0x0C, 0x00, 0x45, 0, 0, 0, 0, 0, 0, 0x00, 0x4B, 0x01, 0xF4, 0xFC, 0x12}, "0.7"},
        SetConfigCase{"EventFlagAsTheLoggerReportedIt", 0x1021, {},
                      {0x01, 0x65, 0x0C, 0x10, 0x21, 0, 0, 0, 0, 0, 0, 0x00, 0x32, 0x01, 0x2C, 0xA6, 0xA7}, "0.33"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetConfiguration, WithNoPortOnlyRestartsTheLivePoll) {
  Answering();
  Click(IDC_SET_CONFIG);
  EXPECT_TRUE(device->Written().empty());
  EXPECT_TRUE(view.MessageBoxes().empty());
  EXPECT_EQ(dlg->Loop().TimerPeriod(1), 450u);
}

TEST_F(SetConfiguration, ASilentDeviceMeansNoCommunication) {
  SelectPort(kPort);
  const uint64_t before = clock.SleptMs();
  Click(IDC_SET_CONFIG);
  EXPECT_EQ(clock.SleptMs() - before, 2000u * 6) << "2000 poll intervals of 5 ms and a tick";
  EXPECT_EQ(StatusHistory(), (Strings{" ", "Request", "No communication with the device"}));
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(dlg->Loop().TimerPeriod(1), 450u);
}

TEST_F(SetConfiguration, SendsNothingWhileADownloadRuns) {
  Answering();
  SelectPort(kPort);
  ReceiveToggle(1);
  Click(IDC_SET_CONFIG);
  EXPECT_TRUE(device->Written().empty());
  EXPECT_EQ(device->OpenCount(), 0);
}

// ---- Synchronize clocks --------------------------------------------------------------------------

// 15 March 2024, 10:20:30, at start register 11 and at start register 5.
const Bytes kClockAt11{0x01, 0x10, 0x00, 0x0B, 0x00, 0x04, 0x08, 0x00, 0x1E, 0x0A, 0x14, 0x03, 0x0F, 0x00, 0x18, 0xAD, 0x44};
const Bytes kClockAt5{0x01, 0x10, 0x00, 0x05, 0x00, 0x04, 0x08, 0x00, 0x1E, 0x0A, 0x14, 0x03, 0x0F, 0x00, 0x18, 0x44, 0x93};

class SyncClock : public ztest::LoggerFixture {
 protected:
  void SetUp() override {
    LoggerFixture::SetUp();
    English();
    dlg->m_nPollPeriodMs = 450;
    clock.SetLocalTime({.year = 2024, .month = 3, .day = 15, .hour = 10, .minute = 20, .second = 30});
    SelectPort(kPort);
    dlg->SetTimer(1, 450);
  }
  void ExpectCleanedUp() {
    EXPECT_FALSE(device->IsOpen());
    EXPECT_FALSE(dlg->m_hPort);
    EXPECT_EQ(device->OpenCount(), 1) << "both attempts share one open";
    EXPECT_EQ(dlg->Loop().TimerPeriod(1), 450u);
    EXPECT_TRUE(view.MessageBoxes().empty());
  }
};

TEST_F(SyncClock, AnAcknowledgedFirstAttemptShowsSuccess) {
  Answering();
  Click(IDC_SYNC_CLOCK);
  EXPECT_EQ(device->Written(), std::vector<Bytes>{kClockAt11});
  EXPECT_EQ(StatusHistory(), (Strings{" ", "Recording data", "Successfully"}));
  ExpectCleanedUp();
}

TEST_F(SyncClock, ALoggerThatTakesTheClockAtRegister5GetsASecondAttempt) {
  uint64_t sleptAtFirst = 0;
  uint64_t sleptAtSecond = 0;
  device->SetResponder([&](const Bytes& request) -> zv::ScriptedReply {
    if (request.at(3) == 0x0B) {
      sleptAtFirst = clock.SleptMs();
      // The time is taken once, at the press, for both attempts.
      clock.SetLocalTime({.year = 2031, .month = 1, .day = 2, .hour = 3, .minute = 4, .second = 5});
      return {};
    }
    sleptAtSecond = clock.SleptMs();
    return {ztest::Acknowledgement(5, 4), {}};
  });

  Click(IDC_SYNC_CLOCK);

  EXPECT_EQ(device->Written(), (std::vector<Bytes>{kClockAt11, kClockAt5}));
  // 100 poll intervals of 5 ms and a tick, then a 300 ms sleep.
  EXPECT_GE(sleptAtSecond - sleptAtFirst, 100u * 5 + 300);
  EXPECT_LE(sleptAtSecond - sleptAtFirst, 100u * 6 + 300);
  EXPECT_EQ(StatusHistory(), (Strings{" ", "Recording data"})) << "the second attempt's reply is not decoded";
  ExpectCleanedUp();
}

TEST_F(SyncClock, ASilentDeviceShowsNoDataAfterBothAttempts) {
  const uint64_t before = clock.SleptMs();
  Click(IDC_SYNC_CLOCK);
  EXPECT_EQ(device->Written(), (std::vector<Bytes>{kClockAt11, kClockAt5}));
  EXPECT_GE(clock.SleptMs() - before, 2u * 100 * 6) << "each attempt waits its 100 poll intervals";
  EXPECT_EQ(StatusHistory(), (Strings{" ", "Recording data", "No data "}));
  ExpectCleanedUp();
}

struct ClockReplyCase {
  const char* name;
  Bytes reply;
  Strings history;
};

class SyncClockReply : public SyncClock, public ::testing::WithParamInterface<ClockReplyCase> {};

TEST_P(SyncClockReply, IsDecodedAndNoSecondAttemptFollows) {
  device->QueueReply({GetParam().reply, {}});
  Click(IDC_SYNC_CLOCK);
  EXPECT_EQ(device->Written(), std::vector<Bytes>{kClockAt11});
  EXPECT_EQ(StatusHistory(), GetParam().history);
  ExpectCleanedUp();
}

INSTANTIATE_TEST_SUITE_P(
    Table, SyncClockReply,
    ::testing::Values(ClockReplyCase{"CrcError", ztest::CrcSwapped(ztest::Acknowledgement(11, 4)),
                                     {" ", "Recording data", "CRC error"}},
                      ClockReplyCase{"ExceptionReply", ztest::Sealed({0x01, 0x90, 0x02}), {" ", "Recording data"}},
                      ClockReplyCase{"TooShort", {0x01, 0x10, 0x00}, {" ", "Recording data", "Receive error"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SyncClock, WithNoPortTheLivePollStaysStopped) {
  Answering();
  dlg->m_portCombo.SetCurSel(0);
  Click(IDC_SYNC_CLOCK);
  EXPECT_TRUE(device->Written().empty());
  EXPECT_FALSE(TimerArmed(1));
  EXPECT_TRUE(view.MessageBoxes().empty());
  EXPECT_EQ(dlg->m_nClockYear, 24) << "the time is taken all the same";
}

TEST_F(SyncClock, SendsNothingWhileADownloadRuns) {
  Answering();
  ReceiveToggle(1);
  Click(IDC_SYNC_CLOCK);
  EXPECT_TRUE(device->Written().empty());
  EXPECT_EQ(device->OpenCount(), 0);
  EXPECT_FALSE(TimerArmed(1));
}

// ---- a reply cut short: the operation still cleans up ----------------------------------------------

enum class Via { kPortChoice, kLivePollTick, kButton };

struct ShortReplyCase {
  const char* name;
  Bytes reply;
  Via via;
  int button;
  UINT livePollPeriod;  // timer 1 afterwards
};

class ShortReply : public ztest::LoggerFixture, public ::testing::WithParamInterface<ShortReplyCase> {};

TEST_P(ShortReply, ShowsIncompleteAndStillClosesThePortAndRearmsTheLivePoll) {
  const ShortReplyCase& c = GetParam();
  English();
  dlg->m_nPollPeriodMs = 450;
  device->SetResponder([&c](const Bytes&) -> zv::ScriptedReply { return {c.reply, {}}; });

  switch (c.via) {
    case Via::kPortChoice:
      Pick(kPort);
      break;
    case Via::kLivePollTick:
      SelectPort(kPort);
      dlg->SetTimer(1, 450);
      dlg->Loop().RunFor(450);
      break;
    case Via::kButton:
      SelectPort(kPort);
      Click(c.button);
      break;
  }

  EXPECT_EQ(device->Written().size(), 1u);
  EXPECT_EQ(Text(IDC_STATUS), "Incomplete reply");
  EXPECT_TRUE(view.MessageBoxes().empty());
  EXPECT_FALSE(device->IsOpen());
  EXPECT_FALSE(dlg->m_hPort);
  EXPECT_EQ(dlg->Loop().TimerPeriod(1), c.livePollPeriod);
  EXPECT_EQ(Text(IDC_CURRENT), "0") << "no reading changed";
}

// A measurement reply that passes its checks but ends at the voltage.
const Bytes kShortMeasurement = ztest::Cut(ztest::MeasurementReply(ztest::kLoggerReadings), 15);

INSTANTIATE_TEST_SUITE_P(
    Table, ShortReply,
    ::testing::Values(ShortReplyCase{"ConfigurationRead", ztest::Cut(ztest::ConfigurationReply(ztest::kLoggerConfig), 9),
                                     Via::kPortChoice, 0, 300},
                      ShortReplyCase{"LivePollTick", kShortMeasurement, Via::kLivePollTick, 0, 450},
                      ShortReplyCase{"SetConfiguration", kShortMeasurement, Via::kButton, IDC_SET_CONFIG, 450},
                      ShortReplyCase{"SynchronizeClocks", kShortMeasurement, Via::kButton, IDC_SYNC_CLOCK, 450}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
