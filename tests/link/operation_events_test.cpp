// What the window tells its observers as each exchange ends: every operation on the window
// thread with each way it can end, in both languages, against the scripted logger.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/event_log.h"
#include "support/logger_fixture.h"

namespace {

using ztest::Bytes;
using Strings = std::vector<std::string>;

constexpr char kOpenFailure[] = "open /dev/ttyLOGGER: No such file or directory";

// How the logger answers the request of the operation under test.
enum class Fault { kNone, kSilent, kNoPort, kCrc, kShort, kCut, kException, kClockAtRegister5Only };

// The proper answer of an answering logger, spoiled the way the fault says.
zv::ScriptedReply Answer(const Bytes& request, Fault fault) {
  Bytes proper;
  switch (request.at(1)) {
    case 0x64: proper = ztest::ConfigurationReply(ztest::kLoggerConfig); break;
    case 0x04: proper = ztest::MeasurementReply(ztest::kLoggerReadings); break;
    case 0x10:
      if (fault == Fault::kClockAtRegister5Only && request.at(3) != 5) return {};
      proper = ztest::Acknowledgement(static_cast<uint16_t>(request.at(2) << 8 | request.at(3)),
                                      static_cast<uint16_t>(request.at(4) << 8 | request.at(5)));
      break;
    case 0x65: proper = ztest::Sealed({0x01, 0x65}); break;
    default: return {};
  }
  switch (fault) {
    case Fault::kSilent: return {};
    case Fault::kCrc: return {ztest::CrcSwapped(proper), {}};
    case Fault::kShort: return {Bytes{0x01, proper[1]}, {}};
    case Fault::kCut: return {ztest::Cut(proper, 6), {}};
    case Fault::kException: return {ztest::Sealed({0x01, static_cast<uint8_t>(proper[1] | 0x80), 0x04}), {}};
    default: return {proper, {}};
  }
}

enum class Action { kPick, kSetConfig, kSyncClock, kErase, kEraseRefused, kPoll };

struct EventCase {
  const char* name;
  Action action;
  Fault fault;
  int language;
  Strings events;
};

class OperationEvents : public ztest::LoggerFixture, public ::testing::WithParamInterface<EventCase> {
 protected:
  void SetUp() override {
    LoggerFixture::SetUp();
    dlg->AddEventObserver(&log);
  }
  void Run(Action action) {
    switch (action) {
      case Action::kPick: Pick(kPort); break;
      case Action::kSetConfig: SelectPort(kPort); Click(IDC_SET_CONFIG); break;
      case Action::kSyncClock: SelectPort(kPort); Click(IDC_SYNC_CLOCK); break;
      case Action::kErase:
      case Action::kEraseRefused:
        SelectPort(kPort);
        view.QueueMessageBoxAnswer(action == Action::kErase ? IDOK : IDCANCEL);
        Click(IDC_ERASE);
        // The erase wait's ticks alone, so that no live poll runs between them.
        while (TimerArmed(COrvikDlg::kTimerEraseWait)) {
          clock.Advance(500);
          dlg->OnTimer(COrvikDlg::kTimerEraseWait);
        }
        break;
      case Action::kPoll: SelectPort(kPort); dlg->OnTimer(COrvikDlg::kTimerLivePoll); break;
    }
  }
  ztest::EventLog log;
};

TEST_P(OperationEvents, EachEndIsToldOnceWithItsKindAndTheTextShown) {
  const EventCase& c = GetParam();
  if (c.language == 1) English();
  const Fault fault = c.fault;
  device->SetResponder([fault](const Bytes& request) { return Answer(request, fault); });
  if (fault == Fault::kNoPort) {
    device->FailOpen(zv::PortError{zv::PortErrorKind::kNotFound, 2, kOpenFailure});
  }

  Run(c.action);

  EXPECT_EQ(log.lines, c.events);
  // The text told is the one on screen, except for a refusal, which shows nothing new.
  ASSERT_FALSE(log.ends.empty());
  if (log.ends.back().result != zv::Result::kCancelled) {
    EXPECT_EQ(log.ends.back().text, Text(IDC_STATUS));
  }
}

const std::string kLost = std::string("lost: ") + kOpenFailure;
const std::string kReadings = "measurement 07_03_2015 14:05:9.50 U 24.00 I 12.34 P 296.16 Q -3.14";

INSTANTIATE_TEST_SUITE_P(
    Table, OperationEvents,
    ::testing::Values(
        EventCase{"ReadDoneEn", Action::kPick, Fault::kNone, 1, {"configuration read: done \"Successfully\""}},
        EventCase{"ReadDoneRu", Action::kPick, Fault::kNone, 0, {"configuration read: done \"Успешно\""}},
        EventCase{"ReadSilentEn", Action::kPick, Fault::kSilent, 1,
                  {"configuration read: no reply \"No communication with the device\""}},
        EventCase{"ReadSilentRu", Action::kPick, Fault::kSilent, 0,
                  {"configuration read: no reply \"Нет связи с устройством\""}},
        EventCase{"ReadNoPortEn", Action::kPick, Fault::kNoPort, 1,
                  {kLost, "configuration read: port error \"No communication with the device\""}},
        EventCase{"ReadNoPortRu", Action::kPick, Fault::kNoPort, 0,
                  {kLost, "configuration read: port error \"Нет связи с устройством\""}},
        EventCase{"ReadCrcEn", Action::kPick, Fault::kCrc, 1, {"configuration read: CRC error \"CRC error\""}},
        EventCase{"ReadCrcRu", Action::kPick, Fault::kCrc, 0, {"configuration read: CRC error \"Ошибка CRC\""}},
        EventCase{"ReadShortEn", Action::kPick, Fault::kShort, 1, {"configuration read: receive error \"Receive error\""}},
        EventCase{"ReadShortRu", Action::kPick, Fault::kShort, 0, {"configuration read: receive error \"Ошибка приема\""}},
        EventCase{"ReadCutEn", Action::kPick, Fault::kCut, 1, {"configuration read: receive error \"Incomplete reply\""}},
        EventCase{"ReadCutRu", Action::kPick, Fault::kCut, 0, {"configuration read: receive error \"Неполный ответ\""}},
        EventCase{"ReadExceptionEn", Action::kPick, Fault::kException, 1,
                  {"configuration read: receive error \"Reading configuration\""}},
        EventCase{"ReadExceptionRu", Action::kPick, Fault::kException, 0,
                  {"configuration read: receive error \"Чтение конфигурации\""}},

        EventCase{"SetDoneEn", Action::kSetConfig, Fault::kNone, 1, {"set configuration: done \"Request\""}},
        EventCase{"SetDoneRu", Action::kSetConfig, Fault::kNone, 0, {"set configuration: done \"Запрос\""}},
        EventCase{"SetSilentEn", Action::kSetConfig, Fault::kSilent, 1,
                  {"set configuration: no reply \"No communication with the device\""}},
        EventCase{"SetSilentRu", Action::kSetConfig, Fault::kSilent, 0,
                  {"set configuration: no reply \"Нет связи с устройством\""}},
        EventCase{"SetNoPortEn", Action::kSetConfig, Fault::kNoPort, 1,
                  {kLost, "set configuration: port error \"No communication with the device\""}},
        EventCase{"SetNoPortRu", Action::kSetConfig, Fault::kNoPort, 0,
                  {kLost, "set configuration: port error \"Нет связи с устройством\""}},
        EventCase{"SetCrcEn", Action::kSetConfig, Fault::kCrc, 1, {"set configuration: CRC error \"CRC error\""}},
        EventCase{"SetCrcRu", Action::kSetConfig, Fault::kCrc, 0, {"set configuration: CRC error \"Ошибка CRC\""}},
        EventCase{"SetExceptionEn", Action::kSetConfig, Fault::kException, 1,
                  {"set configuration: receive error \"Request\""}},
        EventCase{"SetExceptionRu", Action::kSetConfig, Fault::kException, 0,
                  {"set configuration: receive error \"Запрос\""}},

        EventCase{"SyncDoneEn", Action::kSyncClock, Fault::kNone, 1, {"sync clock: done \"Successfully\""}},
        EventCase{"SyncDoneRu", Action::kSyncClock, Fault::kNone, 0, {"sync clock: done \"Успешно\""}},
        EventCase{"SyncSecondAttemptEn", Action::kSyncClock, Fault::kClockAtRegister5Only, 1,
                  {"sync clock: done \"Recording data\""}},
        EventCase{"SyncSecondAttemptRu", Action::kSyncClock, Fault::kClockAtRegister5Only, 0,
                  {"sync clock: done \"Запись данных\""}},
        EventCase{"SyncSilentEn", Action::kSyncClock, Fault::kSilent, 1, {"sync clock: no reply \"No data \""}},
        EventCase{"SyncSilentRu", Action::kSyncClock, Fault::kSilent, 0, {"sync clock: no reply \"Нет данных\""}},
        EventCase{"SyncNoPortEn", Action::kSyncClock, Fault::kNoPort, 1, {kLost, "sync clock: port error \"No data \""}},
        EventCase{"SyncNoPortRu", Action::kSyncClock, Fault::kNoPort, 0, {kLost, "sync clock: port error \"Нет данных\""}},
        EventCase{"SyncCrcEn", Action::kSyncClock, Fault::kCrc, 1, {"sync clock: CRC error \"CRC error\""}},
        EventCase{"SyncCrcRu", Action::kSyncClock, Fault::kCrc, 0, {"sync clock: CRC error \"Ошибка CRC\""}},

        EventCase{"EraseDoneEn", Action::kErase, Fault::kNone, 1, {"erase: done \"Successfully\""}},
        EventCase{"EraseDoneRu", Action::kErase, Fault::kNone, 0, {"erase: done \"Успешно\""}},
        EventCase{"EraseRefusedEn", Action::kEraseRefused, Fault::kNone, 1, {"erase: cancelled \"\""}},
        EventCase{"EraseRefusedRu", Action::kEraseRefused, Fault::kNone, 0, {"erase: cancelled \"\""}},
        // The erase wait runs its 300 ticks, then the decoder finds nothing.
        EventCase{"EraseSilentEn", Action::kErase, Fault::kSilent, 1, {"erase: no reply \"Receive error\""}},
        EventCase{"EraseSilentRu", Action::kErase, Fault::kSilent, 0, {"erase: no reply \"Ошибка приема\""}},
        EventCase{"EraseNoPortEn", Action::kErase, Fault::kNoPort, 1, {kLost, "erase: port error \"Receive error\""}},
        EventCase{"EraseNoPortRu", Action::kErase, Fault::kNoPort, 0, {kLost, "erase: port error \"Ошибка приема\""}},
        EventCase{"EraseCrcEn", Action::kErase, Fault::kCrc, 1, {"erase: CRC error \"CRC error\""}},
        EventCase{"EraseCrcRu", Action::kErase, Fault::kCrc, 0, {"erase: CRC error \"Ошибка CRC\""}},

        EventCase{"PollDoneEn", Action::kPoll, Fault::kNone, 1, {kReadings, "poll: done \"Data accepted\""}},
        EventCase{"PollDoneRu", Action::kPoll, Fault::kNone, 0, {kReadings, "poll: done \"Данные приняты\""}},
        EventCase{"PollSilentEn", Action::kPoll, Fault::kSilent, 1, {"poll: no reply \"No data \""}},
        EventCase{"PollSilentRu", Action::kPoll, Fault::kSilent, 0, {"poll: no reply \"Нет данных\""}},
        EventCase{"PollNoPortEn", Action::kPoll, Fault::kNoPort, 1, {kLost, "poll: port error \"No data \""}},
        EventCase{"PollNoPortRu", Action::kPoll, Fault::kNoPort, 0, {kLost, "poll: port error \"Нет данных\""}},
        EventCase{"PollCrcEn", Action::kPoll, Fault::kCrc, 1, {"poll: CRC error \"CRC error\""}},
        EventCase{"PollCrcRu", Action::kPoll, Fault::kCrc, 0, {"poll: CRC error \"Ошибка CRC\""}},
        // A reply cut short changes no reading: no measurement is told.
        EventCase{"PollCutEn", Action::kPoll, Fault::kCut, 1, {"poll: receive error \"Incomplete reply\""}},
        EventCase{"PollCutRu", Action::kPoll, Fault::kCut, 0, {"poll: receive error \"Неполный ответ\""}}),
    [](const auto& info) { return std::string(info.param.name); });

class LoggerEvents : public ztest::LoggerFixture {
 protected:
  void SetUp() override {
    LoggerFixture::SetUp();
    dlg->AddEventObserver(&log);
    English();
  }
  ztest::EventLog log;
};

TEST_F(LoggerEvents, AConfigurationReadTellsWhatItReadWithoutAnyMember) {
  Answering({.version = 8, .serial = 77, .shuntMillivolts = 75, .shuntAmps = 500, .nominalVoltage = 12, .word = 0x1096});
  Pick(kPort);
  ASSERT_EQ(log.ends.size(), 1u);
  ASSERT_TRUE(log.ends[0].configuration);
  const zv::LoggerConfiguration& c = *log.ends[0].configuration;
  EXPECT_EQ(c.identity.version, 8);
  EXPECT_EQ(c.identity.serialNumber, 77);
  EXPECT_EQ(c.identity.deviceName, "Zentrova-12 N00077");
  EXPECT_EQ(c.nominalVoltage, 12u);
  EXPECT_EQ(c.shuntMillivolts, 75u);
  EXPECT_EQ(c.shuntAmps, 500u);
  EXPECT_TRUE(c.shuntSettable);
  EXPECT_FLOAT_EQ(c.recordPeriod, 1.5f);
  EXPECT_TRUE(c.eventRecording);
  EXPECT_EQ(c.configWord, 0x1096);

  // A logger whose shunt is fixed says so.
  log.Clear();
  Answering({.version = 110, .serial = 5, .nominalVoltage = 24, .word = 0x0021});
  Pick(kPort);
  ASSERT_EQ(log.ends.size(), 1u);
  ASSERT_TRUE(log.ends[0].configuration);
  EXPECT_FALSE(log.ends[0].configuration->shuntSettable);
  EXPECT_FALSE(log.ends[0].configuration->eventRecording);
}

TEST_F(LoggerEvents, TheLoggerIsBackWhenAReadAnswersAfterTheLoss) {
  Answering();
  device->FailOpen(zv::PortError{zv::PortErrorKind::kNotFound, 2, kOpenFailure});
  Pick(kPort);
  device->FailOpen(zv::PortError{});
  Pick(kPort);
  Pick(kPort);  // nothing was lost since
  EXPECT_EQ(log.lines, (Strings{kLost, "configuration read: port error \"No communication with the device\"",
                                "configuration read: done \"Successfully\"", "back: 8 123 Zentrova-24 N00123",
                                "configuration read: done \"Successfully\""}));
}

// ---- a logger unplugged and plugged back ----------------------------------------------------

class PluggedBack : public LoggerEvents {
 protected:
  static constexpr char kGone[] = "lost: open /dev/ttyLOGGER: no such port";
  static constexpr char kWaiting[] = "Logger disconnected, waiting…";
  // The logger answered, then its cable came out: the next live poll finds no port.
  void LoseTheLogger() {
    Answering();
    Pick(kPort);
    log.Clear();
    device->HangUp();
    dlg->OnTimer(COrvikDlg::kTimerLivePoll);
  }
};

TEST_F(PluggedBack, TheLossIsToldOnceAndTheSameLoggerGoesOnWithTheLivePoll) {
  LoseTheLogger();
  EXPECT_EQ(log.lines, (Strings{kGone, "poll: port error \"No data \""}));
  ASSERT_EQ(view.MessageBoxes().size(), 1u);
  EXPECT_EQ(view.MessageBoxes()[0].text, "Error opening port");
  EXPECT_EQ(Control(IDC_PORT).curSel, 0);
  EXPECT_EQ(Text(IDC_STATUS), kWaiting);
  EXPECT_FALSE(TimerArmed(COrvikDlg::kTimerLivePoll));
  EXPECT_EQ(dlg->Loop().TimerPeriod(COrvikDlg::kTimerPortWatch), std::optional<UINT>(1000));

  // Still gone: the watch looks, opens nothing for long and asks nothing.
  log.Clear();
  const auto written = device->Written().size();
  dlg->OnTimer(COrvikDlg::kTimerPortWatch);
  dlg->OnTimer(COrvikDlg::kTimerPortWatch);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(device->Written().size(), written);
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(view.MessageBoxes().size(), 1u);
  EXPECT_EQ(Text(IDC_STATUS), kWaiting);

  device->PlugIn();
  dlg->OnTimer(COrvikDlg::kTimerPortWatch);
  EXPECT_EQ(log.lines, (Strings{"configuration read: done \"Successfully\"", "back: 8 123 Zentrova-24 N00123"}));
  EXPECT_EQ(Control(IDC_PORT).curSel, dlg->BusyPortEntry());
  EXPECT_GT(Control(IDC_PORT).curSel, 0);
  EXPECT_FALSE(TimerArmed(COrvikDlg::kTimerPortWatch));
  EXPECT_TRUE(TimerArmed(COrvikDlg::kTimerLivePoll));
  EXPECT_EQ(view.MessageBoxes().size(), 1u);
}

TEST_F(PluggedBack, AHangUpUnderAnOpenPortIsTheLossAtOnce) {
  Answering();
  Pick(kPort);
  log.Clear();
  // The cable comes out while the poll waits for its reply: the device's own time runs on
  // past the loss as the request goes out, and no reply comes.
  device->HangUp(50);
  auto& deviceTime = dynamic_cast<zv::VirtualClock&>(device->Clock());
  device->SetResponder([&deviceTime](const Bytes&) {
    deviceTime.Advance(100);
    return zv::ScriptedReply{};
  });
  const uint32_t before = clock.TickCount();
  dlg->OnTimer(COrvikDlg::kTimerLivePoll);
  EXPECT_LT(clock.TickCount() - before, 1000u) << "the wait ends with the hang-up";
  ASSERT_EQ(log.lines.size(), 2u);
  EXPECT_EQ(log.lines[0], "poll: no reply \"No data \"");
  EXPECT_EQ(log.lines[1].rfind("lost: ", 0), 0u) << log.lines[1];
  EXPECT_EQ(view.MessageBoxes().size(), 1u);
  EXPECT_EQ(Text(IDC_STATUS), kWaiting);
}

TEST_F(PluggedBack, AnotherLoggerIsNotTheLostOneBack) {
  LoseTheLogger();
  log.Clear();
  Answering({.version = 8, .serial = 777, .shuntMillivolts = 50, .shuntAmps = 300, .nominalVoltage = 24, .word = 0x0021});
  device->PlugIn();
  dlg->OnTimer(COrvikDlg::kTimerPortWatch);
  EXPECT_EQ(log.lines, Strings{"configuration read: done \"Successfully\""});
  EXPECT_EQ(dlg->m_nSerialNumber, 777);
  EXPECT_TRUE(TimerArmed(COrvikDlg::kTimerLivePoll)) << "the new logger is polled as after a pick";
  EXPECT_FALSE(TimerArmed(COrvikDlg::kTimerPortWatch));
}

TEST_F(PluggedBack, PickingNoEndsTheWatch) {
  LoseTheLogger();
  PickIndex(0);
  EXPECT_FALSE(TimerArmed(COrvikDlg::kTimerPortWatch));
  log.Clear();
  device->PlugIn();
  const auto written = device->Written().size();
  dlg->OnTimer(COrvikDlg::kTimerPortWatch);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(device->Written().size(), written);
  EXPECT_EQ(Control(IDC_PORT).curSel, 0);

  // The next failure is a loss of its own, with its box.
  device->HangUp();
  Pick(kPort);
  EXPECT_EQ(view.MessageBoxes().size(), 2u);
}

TEST_F(PluggedBack, APortNeverReadIsRefusedWithoutAWatch) {
  device->FailOpen(zv::PortError{zv::PortErrorKind::kNotFound, 2, kOpenFailure});
  Pick(kPort);
  EXPECT_EQ(view.MessageBoxes().size(), 1u);
  EXPECT_FALSE(TimerArmed(COrvikDlg::kTimerPortWatch));
}

TEST_F(LoggerEvents, AMeasurementCarriesItsValuesAndTheTextsShown) {
  Answering();
  Pick(kPort);  // version 8, 50 mV / 300 A, 24 V
  log.Clear();
  dlg->OnTimer(COrvikDlg::kTimerLivePoll);
  ASSERT_EQ(log.measurements.size(), 1u);
  const zv::Measurement& m = log.measurements[0];
  EXPECT_EQ(m.time.year, 2015);
  EXPECT_EQ(m.time.month, 3);
  EXPECT_EQ(m.time.day, 7);
  EXPECT_EQ(m.time.hour, 14);
  EXPECT_EQ(m.time.minute, 5);
  EXPECT_FLOAT_EQ(m.time.seconds, 9.5f);
  EXPECT_FLOAT_EQ(m.voltage, 24.0f);
  EXPECT_FLOAT_EQ(m.current, 12.34f);
  EXPECT_FLOAT_EQ(m.power, m.current * m.voltage);
  EXPECT_NEAR(m.charge, -3.14, 1e-6);
  EXPECT_EQ(m.timeText, Text(IDC_DATETIME));
  EXPECT_EQ(m.voltageText, Text(IDC_VOLTAGE));
  EXPECT_EQ(m.currentText, Text(IDC_CURRENT));
  EXPECT_EQ(m.powerText, Text(IDC_POWER));
  EXPECT_EQ(m.chargeText, Text(IDC_CAPACITY));
}

// An observer that leaves at its first event, from inside the call.
class LeavesAtOnce : public zv::IWindowEvents {
 public:
  explicit LeavesAtOnce(COrvikDlg& dlg) : dlg_(dlg) {}
  void OnOperationEnded(const zv::OperationEnd&) override {
    ++calls;
    dlg_.RemoveEventObserver(this);
  }
  int calls = 0;

 private:
  COrvikDlg& dlg_;
};

TEST_F(LoggerEvents, ObserversComeAndGo) {
  Answering();
  ztest::EventLog second;
  LeavesAtOnce leaving(*dlg);
  dlg->AddEventObserver(&leaving);
  dlg->AddEventObserver(&second);
  dlg->AddEventObserver(&second);  // once is enough
  Pick(kPort);
  dlg->RemoveEventObserver(&log);
  dlg->OnTimer(COrvikDlg::kTimerLivePoll);
  EXPECT_EQ(log.lines, Strings{"configuration read: done \"Successfully\""});
  EXPECT_EQ(second.lines, (Strings{"configuration read: done \"Successfully\"", kReadings, "poll: done \"Data accepted\""}));
  EXPECT_EQ(leaving.calls, 1);
}

}  // namespace
