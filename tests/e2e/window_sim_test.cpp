// The whole window against the simulated logger over a pseudo-terminal: the window runs on a
// window thread of its own, the test picks ports and presses buttons through the view, and
// reads what the view shows. Real time throughout.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dialog/orvik_dlg.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/headless_view.h"
#include "framework/winapp.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/serial_port.h"
#include "sim/pty_server.h"
#include "support/simulated_logger_window.h"
#include "support/window_on_thread.h"

namespace {

using ztest::WindowOnThread;

constexpr COLORREF kBlue = 0x00FF0000;

class WindowOnSimulatedLogger : public ztest::SimulatedLoggerWindow {
 protected:
  // As the shared fixture, with a battery held still unless the test says otherwise.
  void Start(zv::sim::ServerOptions options, std::vector<std::string> tablePorts = {}) {
    if (!options.device.frozen) options.device.frozen = zv::sim::FrozenBattery{12.5, 25.2, -3.25};
    SimulatedLoggerWindow::Start(options, std::move(tablePorts));
  }
  // English captions and messages, then the logger's port picked.
  void EnglishAndPick() {
    English();
    if (HasFatalFailure()) return;
    window.Pick(LoggerEntry());
  }
};

struct IdentityCase {
  uint16_t version;
  const char* info;
  const char* shuntMv;  // shown after the configuration reply
  const char* shuntA;
  bool shuntEditable;
};

class ChoosingThePort : public WindowOnSimulatedLogger, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(ChoosingThePort, ReadsTheIdentityAndConfigurationThenPollsLive) {
  const IdentityCase& c = GetParam();
  zv::sim::ServerOptions options;
  options.device.config.version = c.version;
  options.device.config.serial = 4321;
  options.device.config.nominalVoltage = 12;
  options.device.config.shuntMillivolts = 75;
  options.device.config.shuntAmps = 500;
  options.device.config.configWord = 0x1000 | 150;
  Start(options);
  EnglishAndPick();

  ASSERT_TRUE(window.WaitForText(IDC_DEVICE_INFO, c.info));
  EXPECT_TRUE(StatusShowed("Reading configuration"));
  EXPECT_TRUE(StatusShowed("Successfully"));
  EXPECT_EQ(window.Shown(IDC_NOMINAL_VOLTAGE), "12");
  EXPECT_EQ(window.Shown(IDC_RECORD_PERIOD), "1.5");
  EXPECT_EQ(window.view.Shown(IDC_EVENT_CHECK)->check, 1);
  EXPECT_EQ(window.Shown(IDC_SHUNT_MV), c.shuntMv);
  EXPECT_EQ(window.Shown(IDC_SHUNT_A), c.shuntA);
  EXPECT_EQ(window.view.Shown(IDC_SHUNT_MV)->enabled, c.shuntEditable);
  EXPECT_EQ(window.view.Shown(IDC_SHUNT_A)->enabled, c.shuntEditable);

  // The live poll runs every 300 ms and shows what the logger measures.
  EXPECT_TRUE(LivePollArmedAt(300));
  // The status line shows before the readings of the same reply do.
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Data accepted"));
  EXPECT_TRUE(window.WaitForText(IDC_VOLTAGE, "25.20")) << window.Shown(IDC_VOLTAGE);
  const uint32_t polls = server->Device().GetCounters().requests;
  EXPECT_TRUE(WindowOnThread::WaitFor([&] { return server->Device().GetCounters().requests >= polls + 3; }));
  EXPECT_TRUE(window.view.MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Versions, ChoosingThePort,
                         ::testing::Values(IdentityCase{8, "Verion_0008\r\nZentrova-12 N04321", "75", "500", true},
                                           IdentityCase{110, "Verion_0110\r\nZentrova-12 N04321", "50", "300", false},
                                           IdentityCase{210, "Verion_0210\r\nZentrova-12 N04321", "50", "500", false},
                                           IdentityCase{10, "Verion_0010\r\nZentrova-12 N04321", "50", "300", false}),
                         [](const auto& info) { return "Version" + std::to_string(info.param.version); });

TEST_F(WindowOnSimulatedLogger, ASilentLoggerPutsTheListBackOnNo) {
  zv::sim::ServerOptions options;
  options.device.faults.silent = true;
  Start(options);
  EnglishAndPick();
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "No communication with the device"));
  EXPECT_EQ(window.view.Shown(IDC_PORT)->curSel, 0);
  EXPECT_FALSE(window.OnWindow([](COrvikDlg& d) { return d.Loop().TimerPeriod(COrvikDlg::kTimerLivePoll); }));
}

TEST_F(WindowOnSimulatedLogger, AReplyWithABadCrcIsReported) {
  zv::sim::ServerOptions options;
  options.device.faults.corruptCrcReplies = {1};
  Start(options);
  EnglishAndPick();
  ASSERT_TRUE(window.WaitFor([&] { return StatusShowed("CRC error"); }));
  EXPECT_EQ(window.Shown(IDC_DEVICE_INFO), "Tolvane Battery Logger");
}

TEST_F(WindowOnSimulatedLogger, AnExceptionReplyChangesNothing) {
  zv::sim::ServerOptions options;
  options.device.faults.exceptionReplies = {1};
  Start(options);
  EnglishAndPick();
  // The configuration read got an answer, so the live poll starts, but nothing was decoded.
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Data accepted"));
  EXPECT_FALSE(StatusShowed("Successfully"));
  EXPECT_EQ(window.Shown(IDC_DEVICE_INFO), "Tolvane Battery Logger");
  EXPECT_TRUE(LivePollArmedAt(300));
}

TEST_F(WindowOnSimulatedLogger, AReplyCutShortKeepsWhatCameBeforeTheCut) {
  zv::sim::ServerOptions options;
  options.device.config.nominalVoltage = 48;
  options.device.faults.cutReplies = {{1, 9}, {2, 20}};
  Start(options);
  EnglishAndPick();
  // The configuration reply ends after the serial number: the version (110) has forced the
  // fixed shunt, the nominal voltage and the identity never came.
  ASSERT_TRUE(window.WaitFor([&] { return StatusShowed("Incomplete reply"); }));
  EXPECT_EQ(window.Shown(IDC_NOMINAL_VOLTAGE), "24");
  EXPECT_EQ(window.Shown(IDC_DEVICE_INFO), "Tolvane Battery Logger");
  EXPECT_FALSE(window.view.Shown(IDC_SHUNT_MV)->enabled);
  // Its clean-up still ran: the port was let go and the live poll started. The first
  // measurement is cut too and shows no reading; the next ones do.
  EXPECT_TRUE(LivePollArmedAt(300));
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Data accepted"));
  // 25.2 V on the logger's 48 V scale, read on the 24 V scale the program still has.
  EXPECT_TRUE(window.WaitForText(IDC_VOLTAGE, "12.60")) << window.Shown(IDC_VOLTAGE);
  const auto voltages = window.view.TextHistory(IDC_VOLTAGE);
  EXPECT_EQ(voltages.front(), "0");
}

TEST_F(WindowOnSimulatedLogger, SetConfigurationWritesThePeriodAndShunt) {
  zv::sim::ServerOptions options;
  options.device.config.version = 8;
  Start(options);
  EnglishAndPick();
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Data accepted"));
  // Focus in the period field stops the live poll, whose replies would rewrite the fields.
  window.Focus(IDC_RECORD_PERIOD);
  ASSERT_TRUE(WindowOnThread::WaitFor([&] {
    return !window.OnWindow([](COrvikDlg& d) { return d.Loop().TimerPeriod(COrvikDlg::kTimerLivePoll); });
  }));
  window.Type(IDC_RECORD_PERIOD, "2.3");
  window.Type(IDC_SHUNT_MV, "75");
  window.Type(IDC_SHUNT_A, "600");
  window.Click(IDC_EVENT_CHECK);
  window.Click(IDC_SET_CONFIG);
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return server->Device().Config().configWord == (0x1000 | 229); }));
  EXPECT_EQ(server->Device().Config().shuntMillivolts, 75);
  EXPECT_EQ(server->Device().Config().shuntAmps, 600);
  EXPECT_TRUE(LivePollArmedAt(300));
}

TEST_F(WindowOnSimulatedLogger, SynchronizeClocksSetsTheLoggerToTheLocalTime) {
  zv::sim::ServerOptions options;
  options.device.startTime = zv::LocalTime{2001, 1, 1, 0, 0, 0, 0};
  Start(options);
  EnglishAndPick();
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Data accepted"));
  window.Click(IDC_SYNC_CLOCK);
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return server->Device().Time().year == clock.Now().year; }));
  EXPECT_TRUE(window.WaitFor([&] { return StatusShowed("Successfully"); }));
  const zv::LocalTime pc = clock.Now();
  const zv::LocalTime logger = server->Device().Time();
  EXPECT_EQ(logger.month, pc.month);
  EXPECT_EQ(logger.day, pc.day);
  EXPECT_EQ(logger.hour, pc.hour);
}

TEST_F(WindowOnSimulatedLogger, ALoggerThatTakesTheClockOnlyAtRegister5) {
  zv::sim::ServerOptions options;
  options.device.clockRegister5Only = true;
  options.device.startTime = zv::LocalTime{2001, 1, 1, 0, 0, 0, 0};
  Start(options);
  EnglishAndPick();
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Data accepted"));
  const std::size_t before = window.view.TextHistory(IDC_STATUS).size();
  window.Click(IDC_SYNC_CLOCK);
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return server->Device().Time().year == clock.Now().year; }));
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Data accepted"));
  // The second attempt's answer is not decoded: the status keeps the attempt's own text
  // until the live poll comes back.
  const auto history = window.view.TextHistory(IDC_STATUS);
  const std::vector<std::string> since(history.begin() + static_cast<std::ptrdiff_t>(before), history.end());
  EXPECT_NE(std::find(since.begin(), since.end(), "Recording data"), since.end());
  EXPECT_EQ(std::find(since.begin(), since.end(), "Successfully"), since.end());
}

TEST_F(WindowOnSimulatedLogger, EraseAfterConfirmationWithTheProgressBar) {
  zv::sim::ServerOptions options;
  options.device.eraseMs = 1200;
  Start(options);
  window.Pick(LoggerEntry());
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Данные приняты"));
  ASSERT_GT(server->Device().RecordCount(), 0u);
  window.view.QueueMessageBoxAnswer(IDOK);
  window.Click(IDC_ERASE);
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "НЕ ОТКЛЮЧАЙТЕ USB !!!"));
  EXPECT_EQ(window.view.Shown(IDC_PROGRESS)->barColor, kBlue);
  ASSERT_TRUE(window.WaitFor([&] { return StatusShowed("Успешно"); }));
  EXPECT_EQ(server->Device().RecordCount(), 0u);
  EXPECT_TRUE(window.WaitFor([&] { return window.view.Shown(IDC_PROGRESS)->barColor == CLR_DEFAULT; }));
  EXPECT_EQ(window.view.Shown(IDC_PROGRESS)->pos, 0);
  EXPECT_TRUE(LivePollArmedAt(300));
  const auto boxes = window.view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "ВНИМАНИЕ!!!");
  // The live poll comes back once the erase has let go of the port.
  EXPECT_TRUE(window.WaitForText(IDC_STATUS, "Данные приняты"));
}

TEST_F(WindowOnSimulatedLogger, EraseCancelledSendsNothing) {
  Start({});
  window.Pick(LoggerEntry());
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Данные приняты"));
  window.Click(IDC_ERASE);  // the default answer, Cancel
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return window.view.MessageBoxes().size() == 1; }));
  EXPECT_TRUE(LivePollArmedAt(300));
  EXPECT_EQ(server->Device().GetCounters().erases, 0u);
}

// ---- the cable pulled and plugged back ---------------------------------------------------------

class UnpluggedLogger : public WindowOnSimulatedLogger {
 protected:
  void StartPolling(zv::sim::HotPlugOptions hotPlug = {}) {
    zv::sim::ServerOptions options;
    options.device.config.serial = 4321;
    OnALink(options, folder, hotPlug);
    Start(options);
    ObserveEvents();
    EnglishAndPick();
    ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Data accepted"));
  }
  uint32_t Requests() { return server->Device().GetCounters().requests; }
  static constexpr char kWaiting[] = "Logger disconnected, waiting…";
};

TEST_F(UnpluggedLogger, TheLivePollGoesOnWhenTheSameLoggerIsBack) {
  StartPolling();
  ASSERT_TRUE(server->Unplug());
  ExpectTheLossShown("Error opening port", kWaiting);
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the watch looks a few times
  EXPECT_EQ(Boxes(), 1u);
  EXPECT_EQ(PortShown(), 0);
  EXPECT_TRUE(Timer(COrvikDlg::kTimerPortWatch));

  const uint32_t before = Requests();
  ASSERT_TRUE(server->Replug());
  EXPECT_TRUE(WindowOnThread::WaitFor([&] { return PortShown() == LoggerEntry(); }));
  EXPECT_TRUE(WindowOnThread::WaitFor([&] { return Requests() >= before + 4; })) << "read, then polled";
  EXPECT_TRUE(LivePollArmedAt(300));
  EXPECT_TRUE(window.WaitForText(IDC_STATUS, "Data accepted"));
  EXPECT_EQ(Boxes(), 1u);
  EXPECT_EQ(EventsStartingWith("lost: "), 1u);
  EXPECT_EQ(EventsStartingWith("back: 110 4321 "), 1u) << ::testing::PrintToString(EventLines());
  EXPECT_FALSE(Timer(COrvikDlg::kTimerPortWatch));
}

TEST_F(UnpluggedLogger, AnotherLoggerOnTheWayBackIsShownAsAfterAPick) {
  zv::sim::HotPlugOptions another;
  another.replugSerial = 777;
  StartPolling(another);
  ASSERT_TRUE(server->Unplug());
  ExpectTheLossShown("Error opening port", kWaiting);
  ASSERT_TRUE(server->Replug());
  EXPECT_TRUE(WindowOnThread::WaitFor([&] { return window.Shown(IDC_DEVICE_INFO).find("N00777") != std::string::npos; }));
  EXPECT_TRUE(LivePollArmedAt(300));
  const uint32_t polled = Requests();
  EXPECT_TRUE(WindowOnThread::WaitFor([&] { return Requests() >= polled + 3; }));
  EXPECT_EQ(EventsStartingWith("back: "), 0u) << "not the lost logger";
  EXPECT_EQ(Boxes(), 1u);
}

TEST_F(UnpluggedLogger, NoPickedDuringTheWatchEndsIt) {
  StartPolling();
  ASSERT_TRUE(server->Unplug());
  ExpectTheLossShown("Error opening port", kWaiting);
  window.Pick(0);
  EXPECT_TRUE(WindowOnThread::WaitFor([&] { return !Timer(COrvikDlg::kTimerPortWatch); }));
  const uint32_t before = Requests();
  ASSERT_TRUE(server->Replug());
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(PortShown(), 0);
  EXPECT_EQ(Requests(), before) << "nothing asked of the logger";
  EXPECT_EQ(Boxes(), 1u);
  EXPECT_EQ(EventsStartingWith("back: "), 0u);
}

TEST_F(WindowOnSimulatedLogger, TheRefreshListsTheTablesPortsThenTheNamedOnes) {
  Start({}, {"/dev/ttyUSB0", "/dev/ttyACM0"});
  window.Pick(3);
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Данные приняты"));
  window.DoubleClickBackground();
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return window.view.Shown(IDC_PORT)->curSel == 0; }));
  const auto items = window.view.Shown(IDC_PORT)->items;
  EXPECT_EQ(items, (std::vector<std::string>{"no", "/dev/ttyUSB0", "/dev/ttyACM0", server->PortName()}));
  // With "no" selected the live poll goes quiet; picking the port again reads it again.
  const uint32_t before = server->Device().GetCounters().requests;
  window.Pick(3);
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return server->Device().GetCounters().requests > before; }));
  EXPECT_TRUE(window.WaitForText(IDC_STATUS, "Данные приняты"));
}


// ---- in virtual time ------------------------------------------------------------------

// The window on the test's own thread with a virtual clock, talking to the logger over the
// pseudo-terminal: for waits too long to sit through.
class WindowInVirtualTime : public ::testing::Test {
 protected:
  void SetUp() override {
    zv::sim::ServerOptions options;
    options.device.faults.silent = true;
    server = std::make_unique<zv::sim::SimServer>(options);
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;
    zfw::SetEnvironment(zfw::Environment{&view, &clock});
    dlg = std::make_unique<COrvikDlg>(PortAccess{serial.get(), &table, {server->PortName()}});
    ASSERT_TRUE(dlg->Create());
    dlg->m_portCombo.SetCurSel(1);
    dlg->m_strPortName = server->PortName().c_str();
    dlg->m_pszPortName = dlg->m_strPortName.GetString();
  }
  void TearDown() override {
    dlg.reset();
    server->Stop();
    zfw::SetEnvironment(zfw::Environment{});
  }

  CWinApp app{"zentrova"};
  zfw::HeadlessView view;
  zv::VirtualClock clock;
  std::unique_ptr<zv::ISerialBackend> serial = zv::MakePosixSerialBackend();
  zv::FixedPortTable table;
  std::unique_ptr<zv::sim::SimServer> server;
  std::unique_ptr<COrvikDlg> dlg;
};

TEST_F(WindowInVirtualTime, AnEraseThatNeverAnswersEndsAfter300Ticks) {
  view.QueueMessageBoxAnswer(IDOK);
  dlg->OnBnClickedErase();
  ASSERT_TRUE(dlg->m_hPort) << "the erase keeps the port for its wait";
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return server->Device().GetCounters().requests == 1; }));
  dlg->Loop().RunFor(149 * 1000);
  EXPECT_EQ(dlg->Controls().Get(IDC_STATUS).text, "НЕ ОТКЛЮЧАЙТЕ USB !!!");
  EXPECT_EQ(dlg->Controls().Get(IDC_PROGRESS).barColor, kBlue);
  EXPECT_EQ(dlg->Controls().Get(IDC_PROGRESS).pos, 120);  // the bar is full from tick 120 on
  dlg->Loop().RunFor(1000);
  EXPECT_EQ(dlg->Controls().Get(IDC_STATUS).text, "Ошибка приема");
  EXPECT_EQ(dlg->Controls().Get(IDC_PROGRESS).barColor, CLR_DEFAULT);
  EXPECT_EQ(dlg->Controls().Get(IDC_PROGRESS).pos, 0);
  EXPECT_FALSE(dlg->m_hPort);
  EXPECT_EQ(dlg->Loop().TimerPeriod(COrvikDlg::kTimerLivePoll), std::optional<UINT>(300));
  EXPECT_FALSE(dlg->Loop().TimerPeriod(COrvikDlg::kTimerEraseWait));
}

// ---- live readings, byte-exact ---------------------------------------------------------

struct Reading {
  const char* name;
  uint16_t version;
  uint16_t shuntMv;
  uint16_t shuntA;
  int16_t i50Rms;
  int16_t i300Rms;
  uint16_t volts;
  int32_t charge;
  uint16_t msInMinute;
  const char* current;
  const char* voltage;
  const char* power;
  const char* capacity;
  const char* dateTime;
};

// The registers of a measurement reply: 3 low-range, 3 high-range currents, voltage, charge
// high and low word, two unused, milliseconds in the minute, hour:minute, month:day, year.
std::array<uint16_t, 17> Registers(const Reading& r) {
  std::array<uint16_t, 17> regs{};
  regs[2] = static_cast<uint16_t>(r.i50Rms);
  regs[5] = static_cast<uint16_t>(r.i300Rms);
  regs[6] = r.volts;
  regs[7] = static_cast<uint16_t>(static_cast<uint32_t>(r.charge) >> 16);
  regs[8] = static_cast<uint16_t>(static_cast<uint32_t>(r.charge) & 0xFFFF);
  regs[11] = r.msInMinute;
  regs[12] = 14 << 8 | 5;  // 14:05
  regs[13] = 3 << 8 | 7;   // 7 March
  regs[14] = 15;           // 2015
  return regs;
}

const Reading kReadings[] = {
    // Versions 8, 110 and 120 show the low range below |I_300_RMS| 1000.
    {"v110_low_at_999", 110, 75, 500, 2500, 999, 5000, 0, 9500, "25.00", "24.00", "600.00", " 0.00", "07_03_2015 14:05:9.50"},
    {"v110_high_at_1000", 110, 75, 500, 2500, 1000, 5000, 0, 9500, "60.00", "24.00", "1440.00", " 0.00", "07_03_2015 14:05:9.50"},
    {"v120_high_at_minus_1000", 120, 75, 500, 2500, -1000, 5000, 0, 0, "-60.00", "24.00", "-1440.00", " 0.00", "07_03_2015 14:05:0.00"},
    {"v8_own_shunt", 8, 75, 150, 100, 1000, 2500, 0, 59996, "30.00", "12.00", "360.00", " 0.00", "07_03_2015 14:05:60.00"},
    // Version 210 switches at 500 and its low range is a twentieth of the shunt's amperes.
    {"v210_low_at_499", 210, 75, 500, 2000, 499, 5000, 0, 9500, "10.00", "24.00", "240.00", " 0.00", "07_03_2015 14:05:9.50"},
    {"v210_high_at_500", 210, 75, 500, 2000, 500, 5000, 0, 9500, "50.00", "24.00", "1200.00", " 0.00", "07_03_2015 14:05:9.50"},
    // A negative charge counter.
    {"negative_charge", 110, 50, 300, 0, 0, 5000, -314, 9500, "0.00", "24.00", " 0.00", "-3.14", "07_03_2015 14:05:9.50"},
    // Version 10: H = ((300 * 75) / 50) / 4 = 112, L = 11.2; no range switch, the low range shows.
    {"v10_low_range", 10, 50, 300, 5000, 3000, 5000, 5000, 9500, "11.20", "24.00", "268.80", "11.20", "07_03_2015 14:05:9.50"},
};

class LiveReadings : public WindowOnSimulatedLogger, public ::testing::WithParamInterface<Reading> {};

TEST_P(LiveReadings, ShowTheLoggersRawValuesScaled) {
  const Reading& r = GetParam();
  zv::sim::ServerOptions options;
  options.device.config.version = r.version;
  options.device.config.shuntMillivolts = r.shuntMv;
  options.device.config.shuntAmps = r.shuntA;
  options.device.config.nominalVoltage = 24;
  options.device.fixedRegisters = Registers(r);
  Start(options);
  EnglishAndPick();
  // The configuration reply already shows "Data accepted", so the readings are waited for;
  // the five fields are compared as one line so that a half-drawn reading cannot pass.
  const auto shown = [&] {
    return window.Shown(IDC_CURRENT) + " | " + window.Shown(IDC_VOLTAGE) + " | " + window.Shown(IDC_POWER) + " | " +
           window.Shown(IDC_CAPACITY) + " | " + window.Shown(IDC_DATETIME);
  };
  const std::string expected = std::string(r.current) + " | " + r.voltage + " | " + r.power + " | " + r.capacity +
                               " | " + r.dateTime;
  EXPECT_TRUE(WindowOnThread::WaitFor([&] { return shown() == expected; })) << shown() << "\n" << expected;
}

INSTANTIATE_TEST_SUITE_P(Table, LiveReadings, ::testing::ValuesIn(kReadings),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
