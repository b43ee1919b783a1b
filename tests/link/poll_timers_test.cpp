// Picking a port, and the live and recording polls that follow, against a scripted logger in
// virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/expected_dump.h"
#include "support/logger_fixture.h"

namespace {

using ztest::Bytes;
using Strings = std::vector<std::string>;

class PortChoice : public ztest::LoggerFixture {};

TEST_F(PortChoice, ReadsTheConfigurationAndStartsTheLivePollAt300Ms) {
  English();
  dlg->m_nPollPeriodMs = 700;  // the read starts the poll at its own period
  Answering();

  Pick(kPort);

  EXPECT_EQ(dlg->m_strPortName.str(), kPort);
  EXPECT_EQ(device->Written(), std::vector<Bytes>{ztest::kConfigRequest});
  EXPECT_EQ(StatusHistory(), (Strings{" ", "Reading configuration", "Successfully"}));
  EXPECT_EQ(Text(IDC_DEVICE_INFO), "Verion_0008\r\nZentrova-24 N00123");
  EXPECT_EQ(dlg->Loop().TimerPeriod(1), 300u);
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(device->OpenCount(), 1);
  EXPECT_TRUE(view.MessageBoxes().empty());
}

TEST_F(PortChoice, ASilentDeviceIsGivenUpAfter200PollsAndTheListGoesBackToNo) {
  English();
  const uint64_t before = clock.SleptMs();

  Pick(kPort);

  EXPECT_GE(clock.SleptMs() - before, 200u * 5);
  EXPECT_LE(clock.SleptMs() - before, 200u * 6);
  EXPECT_EQ(StatusHistory(), (Strings{" ", "Reading configuration", "No communication with the device"}));
  EXPECT_EQ(Control(IDC_PORT).curSel, 0);
  EXPECT_EQ(Text(IDC_PORT), "no");
  EXPECT_FALSE(TimerArmed(1));
  EXPECT_FALSE(device->IsOpen());
  EXPECT_TRUE(view.MessageBoxes().empty());
}

TEST_F(PortChoice, ReadsNothingWhileADownloadRuns) {
  Answering();
  ReceiveToggle(1);
  Pick(kPort);
  EXPECT_TRUE(device->Written().empty());
  EXPECT_EQ(device->OpenCount(), 0);
  EXPECT_FALSE(TimerArmed(1));
}

// ---- live poll (timer 1) and recording poll (timer 2) -----------------------------------------

class PollTicks : public ztest::LoggerFixture {};

TEST_F(PollTicks, EachLivePollTickOpensAsksDecodesAndCloses) {
  English();
  Answering();
  Pick(kPort);
  ASSERT_TRUE(TimerArmed(1));

  for (int tick = 1; tick <= 3; ++tick) {
    SCOPED_TRACE(tick);
    dlg->Loop().RunFor(300);
    const auto written = device->Written();
    ASSERT_EQ(written.size(), static_cast<std::size_t>(1 + tick));
    EXPECT_EQ(written.back(), ztest::kMeasurementRequest);
    EXPECT_EQ(device->OpenCount(), 1 + tick) << "a port of its own for every tick";
    EXPECT_FALSE(device->IsOpen()) << "and closed again before the next";
    EXPECT_FALSE(dlg->m_hPort);
    const Strings history = StatusHistory();
    EXPECT_EQ(Strings(history.end() - 2, history.end()), (Strings{"Request ", "Data accepted"}));
  }
  EXPECT_EQ(Text(IDC_CURRENT), "12.34");
  EXPECT_EQ(Text(IDC_VOLTAGE), "24.00");
  EXPECT_EQ(Text(IDC_POWER), "296.16");
  EXPECT_EQ(Text(IDC_CAPACITY), "-3.14");
  EXPECT_EQ(Text(IDC_DATETIME), "07_03_2015 14:05:9.50");
  EXPECT_EQ(dlg->Loop().TimerPeriod(1), 300u);
}

TEST_F(PollTicks, TheRecordingPollExchangesAsTheLivePollDoes) {
  Answering();
  SelectPort(kPort);
  dlg->SetTimer(2, 200);
  dlg->Loop().RunFor(200);
  dlg->Loop().RunFor(200);
  EXPECT_EQ(device->Written(), (std::vector<Bytes>{ztest::kMeasurementRequest, ztest::kMeasurementRequest}));
  EXPECT_EQ(device->OpenCount(), 2);
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(Text(IDC_STATUS), "Данные приняты");
  EXPECT_EQ(Text(IDC_CURRENT), "12.34");
}

TEST_F(PollTicks, ASilentDeviceShowsNoDataAfter2000PollsAndIsAskedAgain) {
  English();
  SelectPort(kPort);
  dlg->SetTimer(1, 300);
  const uint64_t before = clock.SleptMs();
  dlg->Loop().RunFor(300);
  EXPECT_GE(clock.SleptMs() - before, 300u + 2000 * 5);
  EXPECT_LE(clock.SleptMs() - before, 300u + 2000 * 6);
  EXPECT_EQ(StatusHistory(), (Strings{" ", "Request ", "No data "}));
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(dlg->Loop().TimerPeriod(1), 300u);
  dlg->Loop().RunFor(1);  // the tick came late: the next follows at once
  EXPECT_EQ(device->Written().size(), 2u);
}

struct IdleCase {
  const char* name;
  UINT_PTR timer;
  bool portChosen;  // an entry after "no" is selected
  int receiveToggle;
};

class IdleTicks : public ztest::LoggerFixture, public ::testing::WithParamInterface<IdleCase> {};

TEST_P(IdleTicks, OnlyRefreshTheControls) {
  const IdleCase& c = GetParam();
  Answering();
  SelectPort(kPort);
  if (!c.portChosen) dlg->m_portCombo.SetCurSel(0);
  ReceiveToggle(c.receiveToggle);
  dlg->SetTimer(c.timer, 300);
  dlg->m_strCurrent = "7.77";  // not yet on screen

  dlg->Loop().RunFor(900);

  EXPECT_TRUE(device->Written().empty());
  EXPECT_EQ(device->OpenCount(), 0);
  EXPECT_TRUE(view.MessageBoxes().empty());
  EXPECT_EQ(Text(IDC_STATUS), " ");
  EXPECT_EQ(Text(IDC_CURRENT), "7.77");
  EXPECT_TRUE(TimerArmed(c.timer));
}

INSTANTIATE_TEST_SUITE_P(Table, IdleTicks,
                         ::testing::Values(IdleCase{"LivePollOnNo", 1, false, 0},
                                           IdleCase{"LivePollDuringDownload", 1, true, 1},
                                           IdleCase{"RecordingPollOnNo", 2, false, 0},
                                           IdleCase{"RecordingPollDuringDownload", 2, true, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IdleTicks, OnNoTheRequestBeingBuiltIsDropped) {
  dlg->m_txFrame.Add(0x01);
  dlg->SetTimer(1, 300);
  dlg->Loop().RunFor(300);
  EXPECT_TRUE(dlg->m_txFrame.IsEmpty());
}

// What the person types into a field is theirs until a handler reads it: neither poll writes
// the field back from its member meanwhile, whether the person is still in it or has just
// pressed a button (the press takes the focus before the click is handled).
struct TypedFieldCase {
  const char* name;
  uint16_t version;
  bool recording;  // the recording poll (timer 2) asks, not the live poll
  int field;
  const char* typed;
  bool leaveFirst;  // the focus moves on to a button before the polls come
};

class TypingUnderThePoll : public ztest::LoggerFixture, public ::testing::WithParamInterface<TypedFieldCase> {
 protected:
  std::size_t MeasurementRequests() const {
    const auto written = device->Written();
    return static_cast<std::size_t>(std::count(written.begin(), written.end(), ztest::kMeasurementRequest));
  }
  ztest::ScratchFolder folder;
};

TEST_P(TypingUnderThePoll, KeepsTheTypedTextAndEnterTakesIt) {
  const TypedFieldCase& c = GetParam();
  Answering({.version = c.version, .serial = 123, .shuntMillivolts = 50, .shuntAmps = 300, .word = 0x0021});
  Pick(kPort);
  if (c.recording) {
    view.QueueFileDialogAnswer((folder / "rec.txt").string());
    Click(IDC_RECORD);
    ASSERT_TRUE(TimerArmed(2));
  }
  const std::size_t before = MeasurementRequests();

  Focus(c.field);
  Type(c.field, c.typed);
  if (c.leaveFirst) Focus(IDC_SET_CONFIG);
  dlg->Loop().RunFor(1000);
  if (c.recording || (c.field != IDC_RECORD_PERIOD && c.field != IDC_POLL_PERIOD)) {
    ASSERT_GE(MeasurementRequests() - before, 3u) << "the polls went on";
  }
  EXPECT_EQ(Text(c.field), c.typed);

  Focus(c.field);
  Enter();
  EXPECT_EQ(view.MessageBoxes().size(), 0u);
  const std::string member = c.field == IDC_SHUNT_MV      ? std::to_string(dlg->m_nShuntMillivolts)
                             : c.field == IDC_SHUNT_A     ? std::to_string(dlg->m_nShuntAmps)
                             : c.field == IDC_POLL_PERIOD ? std::to_string(dlg->m_nRecordPollMs)
                                                          : Text(IDC_RECORD_PERIOD);
  EXPECT_EQ(member, c.typed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TypingUnderThePoll,
    ::testing::Values(TypedFieldCase{"ShuntMillivoltsLiveV8", 8, false, IDC_SHUNT_MV, "75", false},
                      TypedFieldCase{"ShuntAmpsLiveV210", 210, false, IDC_SHUNT_A, "500", false},
                      TypedFieldCase{"ShuntMillivoltsLeftForAButton", 8, false, IDC_SHUNT_MV, "75", true},
                      TypedFieldCase{"RecordPeriodRecording", 8, true, IDC_RECORD_PERIOD, "1.5", false},
                      TypedFieldCase{"PollPeriodRecording", 8, true, IDC_POLL_PERIOD, "450", false},
                      TypedFieldCase{"ShuntMillivoltsRecording", 210, true, IDC_SHUNT_MV, "60", false},
                      TypedFieldCase{"ShuntAmpsRecording", 8, true, IDC_SHUNT_A, "100", false}),
    [](const auto& info) { return std::string(info.param.name); });

// The fault as the person met it: 75 typed while a version-8 logger is polled live, then a
// click on Set configuration.
TEST_F(TypingUnderThePoll, SetConfigurationSendsTheTypedRating) {
  Answering();
  Pick(kPort);
  Focus(IDC_SHUNT_MV);
  Type(IDC_SHUNT_MV, "75");
  dlg->Loop().RunFor(1000);

  Click(IDC_SET_CONFIG);

  const auto written = device->Written();
  ASSERT_FALSE(written.empty());
  const Bytes& sent = written.back();
  ASSERT_EQ(sent.size(), 17u);
  EXPECT_EQ(sent[1], 0x65);
  EXPECT_EQ(sent[11] << 8 | sent[12], 75) << "the millivolts as typed";
  EXPECT_EQ(sent[13] << 8 | sent[14], 300);
  EXPECT_EQ(Text(IDC_SHUNT_MV), "75");
}

}  // namespace
