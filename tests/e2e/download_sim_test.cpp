// The memory download end to end: the window on its thread, the worker on its own, the
// simulated logger behind a pseudo-terminal answering at once (unpaced). The dump file is
// compared byte for byte with rows worked out here from the logger's memory image.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/expected_dump.h"
#include "support/simulated_logger_window.h"

namespace {

using ztest::WindowOnThread;

ztest::Logged FromSim(const zv::sim::MemoryRecord& r) {
  ztest::Logged l;
  l.current = r.current;
  l.voltage = r.voltage;
  l.charge = r.charge;
  l.milliseconds = r.millisecondsInMinute;
  l.minute = r.minute;
  l.hour = r.hour;
  l.day = r.day;
  l.month = r.month;
  l.yearByte = r.yearByte;
  l.rangeFlag = r.rangeFlag;
  return l;
}

class SimulatedDownload : public ztest::SimulatedLoggerWindow {
 protected:
  // Picks the logger's port, which reads its configuration, and stops the live poll that
  // follows: the logger then numbers its replies from the configuration reply (1) on, and the
  // reply to page request n is reply n + 1.
  void PickQuietly() {
    window.Pick(LoggerEntry());
    window.OnWindow([](COrvikDlg& d) { d.KillTimer(COrvikDlg::kTimerLivePoll); });
    ASSERT_EQ(server->Device().GetCounters().replies, 1u) << "the configuration reply and nothing else";
  }
  void SwitchOn() {
    window.view.QueueFileDialogAnswer((folder / "dump.txt").string());
    window.Click(IDC_RECEIVE);
  }
  std::filesystem::path DumpPath(const std::string& device) const { return folder / ("dump ( " + device + " ).txt"); }
  uint32_t PageRequests() { return server->Device().GetCounters().pageRequests; }
  // Waits for the download to have begun and then to have ended by itself.
  bool RunsToItsEnd() {
    if (!WindowOnThread::WaitFor([&] { return PageRequests() > 0; }, std::chrono::seconds(30))) return false;
    if (!WindowOnThread::WaitFor([&] { return Check(IDC_RECEIVE) == 0; }, std::chrono::seconds(240))) return false;
    return window.OnWindow([](COrvikDlg& d) { return !d.m_hDumpFile; });
  }
  // The header and the rows of the logger's records [from, to).
  std::string Expected(const std::string& device, ztest::Factors f, uint32_t nominal, std::size_t to) {
    std::string text = ztest::DumpHeader(device);
    for (std::size_t i = 0; i < to; ++i) text += ztest::Row(FromSim(server->Device().Record(i)), f, nominal);
    return text;
  }
  bool DumpClosed(const std::filesystem::path& path) {
    return window.OnWindow([](COrvikDlg& d) { return !d.m_hDumpFile && d.m_bWorkerActive.load() == 0; }) &&
           !ztest::OpenInThisProcess(path);
  }
  // After the switch-off, the worker is gone, the file closed and no longer written, the
  // logger no longer asked for pages, and the live poll is back.
  void ExpectStoppedCleanly(const std::filesystem::path& path) {
    EXPECT_TRUE(DumpClosed(path));
    const uint32_t pages = PageRequests();
    EXPECT_FALSE(StillGrowing(path));
    EXPECT_EQ(PageRequests(), pages);
    EXPECT_FALSE(Timer(COrvikDlg::kTimerDownload));
  }
  // The file holds the header and the rows of whole pages, all full of records: the pages
  // received before the download stopped.
  void ExpectWholePagesOf(const std::filesystem::path& path, const std::string& device, ztest::Factors f,
                          uint32_t nominal) {
    const std::string file = ztest::ReadWhole(path);
    const std::string header = ztest::DumpHeader(device);
    ASSERT_EQ(file.rfind(header, 0), 0u);
    const auto rows = static_cast<std::size_t>(std::count(file.begin(), file.end(), '\n')) - 3;
    EXPECT_EQ(rows % 256, 0u) << rows << " rows";
    EXPECT_GT(rows, 0u);
    EXPECT_TRUE(file == Expected(device, f, nominal, rows)) << "not the rows of the first " << rows / 256 << " pages";
  }
};

// ---- a whole download ----------------------------------------------------------------------------

struct FullCase {
  const char* name;
  uint16_t version;
  uint16_t shuntMv;
  uint16_t shuntA;
  uint16_t nominal;
  uint16_t serial;
  std::size_t records;
  ztest::Factors factors;  // with the shunt the program takes for this version
  const char* device;
  uint32_t pages;
};

class WholeMemory : public SimulatedDownload, public ::testing::WithParamInterface<FullCase> {};

TEST_P(WholeMemory, IsReadPageByPageIntoTheDumpFile) {
  const FullCase& c = GetParam();
  zv::sim::ServerOptions options;
  options.device.config.version = c.version;
  options.device.config.shuntMillivolts = c.shuntMv;
  options.device.config.shuntAmps = c.shuntA;
  options.device.config.nominalVoltage = c.nominal;
  options.device.config.serial = c.serial;
  options.device.records = c.records;
  Start(options);
  PickQuietly();
  ASSERT_EQ(server->Device().MemoryPages(), c.pages);

  SwitchOn();
  ASSERT_TRUE(RunsToItsEnd());

  EXPECT_EQ(PageRequests(), c.pages) << "every page once";
  const std::string file = ztest::ReadWhole(DumpPath(c.device));
  const std::string wanted = Expected(c.device, c.factors, c.nominal, server->Device().RecordCount());
  EXPECT_TRUE(file == wanted) << "the file (" << file.size() << " bytes) differs from the rows worked out here ("
                              << wanted.size() << " bytes)";
  EXPECT_TRUE(StatusShowed("Чтение Памяти 100%"));
  EXPECT_TRUE(LivePollArmedAt(300));
  const std::size_t shown = StatusCount();
  EXPECT_TRUE(WindowOnThread::WaitFor([&] { return StatusShowedSince(shown, "Данные приняты"); }));
  EXPECT_TRUE(window.view.MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, WholeMemory,
    ::testing::Values(
        // 210 takes the logger's amperes: H = 500 A, L = 25.
        FullCase{"version_210", 210, 75, 500, 48, 4321, 5000, ztest::FactorsFor(210, 500, 50), "Zentrova-48 N04321", 4096},
        // 8 takes both shunt values: H = 150 A, L = 75.
        FullCase{"version_8", 8, 75, 150, 12, 17, 3000, ztest::FactorsFor(8, 150, 75), "Zentrova-12 N00017", 2048}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- a logger that fumbles ---------------------------------------------------------------------

TEST_F(SimulatedDownload, DroppedSplitAndShortPagesEndWithTheSameFile) {
  zv::sim::ServerOptions options;
  options.device.config.version = 8;
  options.device.records = 3000;
  // Page requests in order: 1 at 0x00, 2 at 0x10 (no reply), 3 at 0x10 again, 4 at 0x20,
  // 5 at 0x30 (its second half 300 ms late), 6 at 0x40, 7 at 0x50 (half a page), 8 at 0x50
  // again, 9 at 0x60 (its second half 20 ms late).
  options.device.faults.dropReplies = {3};
  options.device.faults.splitReplies = {{6, 300}, {10, 20}};
  options.device.faults.shortPages = {{7, 2048}};
  Start(options);
  PickQuietly();

  SwitchOn();
  ASSERT_TRUE(RunsToItsEnd());

  EXPECT_EQ(PageRequests(), 2048u + 2) << "the dropped and the short page asked again, nothing else";
  const std::string file = ztest::ReadWhole(DumpPath("Zentrova-24 N00123"));
  // Version 8 with the logger's 50 mV / 300 A.
  const std::string wanted = Expected("Zentrova-24 N00123", ztest::FactorsFor(8, 300, 50), 24, 3000);
  EXPECT_TRUE(file == wanted) << "the file (" << file.size() << " bytes) differs from the rows worked out here ("
                              << wanted.size() << " bytes)";
  EXPECT_TRUE(StatusShowed("Нет данных"));
  EXPECT_TRUE(StatusShowed("Чтение Памяти 100%"));
  EXPECT_TRUE(window.view.MessageBoxes().empty());
}

struct VanishCase {
  const char* name;
  zv::sim::VanishMode mode;
};

class VanishingLogger : public SimulatedDownload, public ::testing::WithParamInterface<VanishCase> {};

TEST_P(VanishingLogger, LeavesTheFileWithTheRowsThatCameAndTheWindowWorking) {
  zv::sim::ServerOptions options;
  options.device.config.version = 8;
  options.device.records = 20 * 256;
  options.device.faults.vanishAfterPages = 5;
  options.device.faults.vanishMode = GetParam().mode;
  Start(options);
  English();
  PickQuietly();
  SwitchOn();
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return StatusShowed("No data "); }, std::chrono::seconds(30)));

  const auto path = DumpPath("Zentrova-24 N00123");
  if (GetParam().mode == zv::sim::VanishMode::kClose) {
    // The port has gone: the next worker cannot open it; the download waits for a port.
    ASSERT_TRUE(WindowOnThread::WaitFor([&] { return !window.view.MessageBoxes().empty(); }));
    EXPECT_EQ(window.view.MessageBoxes()[0].text, "Error opening port");
    EXPECT_TRUE(WindowOnThread::WaitFor([&] { return window.view.Shown(IDC_PORT)->curSel == 0; }));
  } else {
    // The port stays and nothing answers: the page is asked for again, one worker at a time.
    const uint32_t asked = server->Device().GetCounters().requests;
    EXPECT_TRUE(WindowOnThread::WaitFor([&] { return server->Device().GetCounters().requests > asked; }));
    EXPECT_TRUE(window.view.MessageBoxes().empty());
    // The person gives up on it: with "no" picked, the live poll that follows the switch-off
    // leaves the silent port alone instead of waiting out every poll.
    window.Pick(0);
  }
  EXPECT_EQ(Check(IDC_RECEIVE), 1) << "still on";
  EXPECT_EQ(ztest::ReadWhole(path), Expected("Zentrova-24 N00123", ztest::FactorsFor(8, 300, 50), 24, 5 * 256));

  window.Click(IDC_RECEIVE);
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return Check(IDC_RECEIVE) == 0; }));
  ExpectStoppedCleanly(path);
  EXPECT_TRUE(LivePollArmedAt(300));
  EXPECT_EQ(ztest::ReadWhole(path), Expected("Zentrova-24 N00123", ztest::FactorsFor(8, 300, 50), 24, 5 * 256));

  // The window still answers the person.
  window.Click(IDC_LANGUAGE);
  EXPECT_TRUE(window.WaitForText(IDC_LANGUAGE, "РУС/eng"));
}

INSTANTIATE_TEST_SUITE_P(Modes, VanishingLogger,
                         ::testing::Values(VanishCase{"port_closed", zv::sim::VanishMode::kClose},
                                           VanishCase{"muted", zv::sim::VanishMode::kMute}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the cable pulled and plugged back during a download -------------------------------------

class ReplugDuringDownload : public SimulatedDownload {
 protected:
  // A version 8 with its first 20 pages full, unplugged when the request after its fifth page
  // comes and plugged back 2 s later.
  void StartAndSwitchOn(std::optional<uint16_t> replugSerial = std::nullopt) {
    zv::sim::ServerOptions options;
    options.device.config.version = 8;
    options.device.records = 20 * 256;
    zv::sim::HotPlugOptions hotPlug;
    hotPlug.unplugAfterPages = 5;
    hotPlug.replugAfterMs = 2000;
    hotPlug.replugSerial = replugSerial;
    OnALink(options, folder, hotPlug);
    Start(options);
    ObserveEvents();
    PickQuietly();
    SwitchOn();
  }
  const ztest::Factors factors = ztest::FactorsFor(8, 300, 50);
};

TEST_F(ReplugDuringDownload, TheSameLoggerBackEndsWithTheFileOfADownloadWithoutLoss) {
  StartAndSwitchOn();
  ASSERT_TRUE(RunsToItsEnd());
  const std::string file = ztest::ReadWhole(DumpPath("Zentrova-24 N00123"));
  const std::string wanted = Expected("Zentrova-24 N00123", factors, 24, server->Device().RecordCount());
  EXPECT_TRUE(file == wanted) << "the file (" << file.size() << " bytes) differs from the rows worked out here ("
                              << wanted.size() << " bytes)";
  EXPECT_LE(Boxes(), 1u);
  EXPECT_EQ(EventsStartingWith("lost: "), Boxes());
  EXPECT_EQ(EventsStartingWith("back: 8 123 "), Boxes());
  EXPECT_EQ(EventsStartingWith("download: done"), 1u);
  EXPECT_EQ(EventsStartingWith("page 2048/2048"), 1u);
}

TEST_F(ReplugDuringDownload, AnotherLoggerOnTheWayBackStopsItWithNothingOfItInTheFile) {
  StartAndSwitchOn(777);
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return PageRequests() > 0; }));
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return Check(IDC_RECEIVE) == 0; }, std::chrono::seconds(30)));
  // The button goes off before the box that says why is up.
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return Boxes() >= 2; })) << Boxes();
  ASSERT_EQ(Boxes(), 2u);
  EXPECT_EQ(window.view.MessageBoxes()[0].text, "Ошибка открытия порта");
  EXPECT_EQ(window.view.MessageBoxes()[1].text, "Подключён другой регистратор: чтение памяти остановлено");
  const auto path = DumpPath("Zentrova-24 N00123");
  ExpectStoppedCleanly(path);
  EXPECT_EQ(ztest::ReadWhole(path), Expected("Zentrova-24 N00123", factors, 24, 5 * 256));
  EXPECT_EQ(EventsStartingWith("download: another logger"), 1u);
  EXPECT_EQ(EventsStartingWith("back: "), 0u);
  EXPECT_TRUE(LivePollArmedAt(300));
}

// ---- stopped by the person ---------------------------------------------------------------------

class StoppedDownload : public SimulatedDownload {
 protected:
  // A 210 with its first 300 pages full of records, well into its download.
  void StartAndRead50Pages() {
    zv::sim::ServerOptions options;
    options.device.config.version = 210;
    options.device.config.shuntAmps = 500;
    options.device.records = 300 * 256;
    Start(options);
    PickQuietly();
    SwitchOn();
    ASSERT_TRUE(WindowOnThread::WaitFor([&] { return PageRequests() >= 50; }, std::chrono::seconds(30)));
  }
  const std::string device = "Zentrova-24 N00123";
  const ztest::Factors factors = ztest::FactorsFor(210, 500, 50);
};

TEST_F(StoppedDownload, SwitchingOffStopsTheWorkerAndClosesTheFile) {
  StartAndRead50Pages();

  window.Click(IDC_RECEIVE);

  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return Check(IDC_RECEIVE) == 0; }));
  ExpectStoppedCleanly(DumpPath(device));
  EXPECT_LT(PageRequests(), 300u) << "stopped well before its end";
  ExpectWholePagesOf(DumpPath(device), device, factors, 24);
  EXPECT_TRUE(LivePollArmedAt(300));
  const std::size_t shown = StatusCount();
  EXPECT_TRUE(WindowOnThread::WaitFor([&] { return StatusShowedSince(shown, "Данные приняты"); }));
  EXPECT_TRUE(window.view.MessageBoxes().empty());
}

TEST_F(StoppedDownload, ClosingTheWindowStopsTheWorkerAndClosesTheFile) {
  StartAndRead50Pages();

  window.Stop();  // Esc

  const auto path = DumpPath(device);
  EXPECT_FALSE(ztest::OpenInThisProcess(path));
  const uint32_t pages = PageRequests();
  EXPECT_FALSE(StillGrowing(path));
  EXPECT_EQ(PageRequests(), pages);
  EXPECT_LT(pages, 300u);
  ExpectWholePagesOf(path, device, factors, 24);
}

// ---- the recording poll during a download --------------------------------------------------------

TEST_F(SimulatedDownload, ARecordingKeepsOffThePortWhileTheDownloadRunsAndGoesOnAfterIt) {
  std::ostringstream log;
  zv::sim::ServerOptions options;
  options.device.config.version = 8;
  options.device.records = 3000;
  options.device.frozen = zv::sim::FrozenBattery{12.5, 25.2, -3.25};
  options.log = &log;
  Start(options);
  window.Pick(LoggerEntry());
  ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Данные приняты"));
  window.view.QueueFileDialogAnswer((folder / "rec.txt").string());
  window.Click(IDC_RECORD);
  const auto recording = folder / "rec ( Zentrova-24 N00123 ).txt";
  const auto rowsOf = [&] {
    const std::string text = ztest::ReadWhole(recording);
    return std::count(text.begin(), text.end(), '\n');
  };
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return rowsOf() >= 3 + 2; }));

  SwitchOn();
  ASSERT_TRUE(RunsToItsEnd());
  const auto rowsAtTheEnd = rowsOf();
  EXPECT_TRUE(WindowOnThread::WaitFor([&] { return rowsOf() > rowsAtTheEnd; })) << "the recording goes on";
  EXPECT_EQ(ztest::ReadWhole(DumpPath("Zentrova-24 N00123")),
            Expected("Zentrova-24 N00123", ztest::FactorsFor(8, 300, 50), 24, 3000));
  EXPECT_TRUE(window.view.MessageBoxes().empty());

  // What the logger was asked, in order: no measurement between the first page and the last.
  window.Stop();
  server->Stop();
  std::vector<std::string> kinds;
  std::istringstream lines(log.str());
  for (std::string line; std::getline(lines, line);) {
    if (line.find("(page)") != std::string::npos) kinds.push_back("page");
    if (line.find("(measurement)") != std::string::npos) kinds.push_back("measurement");
  }
  const auto first = std::find(kinds.begin(), kinds.end(), "page");
  const auto last = std::find(kinds.rbegin(), kinds.rend(), "page").base();
  ASSERT_NE(first, kinds.end());
  EXPECT_EQ(std::count(first, last, "page"), 2048);
  EXPECT_EQ(std::count(first, last, "measurement"), 0);
}

}  // namespace
