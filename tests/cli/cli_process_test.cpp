// zentrova-cli as a process against the simulated logger over a pseudo-terminal: each
// command's output and exit status, its files beside the window's, and Ctrl-C.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if defined(ZENTROVA_CLI_PLOTS)
#include <QImage>
#include <set>
#endif

#include "dialog/orvik_dlg.h"
#include "dialog/resource.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/serial_port.h"
#include "sim/pty_server.h"
#include "support/child_process.h"
#include "support/window_on_thread.h"

namespace {

namespace fs = std::filesystem;


const std::string kCli = ZENTROVA_CLI_EXE;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs a program with its standard output on a pipe whose reading end is closed before the
// program starts, as when the reader of a pipeline has gone; standard error goes through
// errFile.
ztest::Ran RunIntoClosedPipe(const std::vector<std::string>& args, const fs::path& errFile) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return {127, "", "no pipe"};
  ::close(out[0]);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const bool started = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&fa);
  ::close(out[1]);
  int raw = 0;
  if (!started || ::waitpid(pid, &raw, 0) != pid) return {127, "", "not started"};
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), "", ReadFile(errFile)};
}

// A dump as a logger leaves it when its clock was not always a date: rows of an unset clock,
// a day the calendar does not have and seconds past the minute among dated ones.
const char kDumpWithUndatedRows[] =
    "Zentrova-24 N00123\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n"
    "15_03_2024 10:20:30,00 \t12,50 \t25,20 \t-3,25\r\n"
    "00_00_2000 00:00:0,00 \t12,50 \t25,20 \t-3,25\r\n"
    "29_02_2018 10:20:30,00 \t12,50 \t25,20 \t-3,25\r\n"
    "15_03_2024 10:20:65,53 \t12,50 \t25,20 \t-3,25\r\n"
    "15_03_2024 10:20:31,00 \t12,50 \t25,20 \t-3,25\r\n";

// A logger that says the same thing every time: a frozen battery and a stopped clock, and a
// memory filled the same way by every logger made with these options.
zv::sim::ServerOptions SteadyLogger() {
  zv::sim::ServerOptions o;
  o.device.frozen = zv::sim::FrozenBattery{12.5, 25.2, -3.25};
  o.device.startTime = zv::LocalTime{2024, 3, 15, 10, 20, 30, 0};
  o.device.clockStopped = true;
  o.device.records = 900;
  return o;
}

class CliAgainstLogger : public ::testing::Test {
 protected:
  void Start(zv::sim::ServerOptions options = SteadyLogger()) {
    server = std::make_unique<zv::sim::SimServer>(options);
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;
  }
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zentrova-cli-test-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    if (server) server->Stop();
    fs::remove_all(dir);
  }
  ztest::Ran Cli(std::vector<std::string> args) {
    args.insert(args.begin(), kCli);
    return ztest::Run(args);
  }
  // The file the window would make of the name chosen in the save dialog.
  fs::path Made(const std::string& chosen) const { return dir / (chosen + " ( Zentrova-24 N00123 ).txt"); }

  std::unique_ptr<zv::sim::SimServer> server;
  fs::path dir;
};

TEST_F(CliAgainstLogger, InfoTellsTheIdentityAndConfiguration) {
  Start();
  const auto text = Cli({"info", server->PortName()});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out, "Port: " + server->PortName() +
                          "\nDevice: Zentrova-24 N00123\nVersion: 110\nSerial number: 123\nNominal voltage: 24 V\n"
                          "Shunt: 50 mV / 300 A\nRecording period: 0.33 s\nEvent recording: off\n");
  const auto json = Cli({"info", server->PortName(), "--json"});
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out, "{\"port\":\"" + server->PortName() +
                          "\",\"device\":\"Zentrova-24 N00123\",\"version\":110,\"serial\":123,\"nominal_voltage_v\":24,"
                          "\"shunt_mv\":50,\"shunt_a\":300,\"recording_period_s\":0.33,\"event_recording\":false}\n");
  const auto ru = Cli({"info", server->PortName(), "--lang", "ru"});
  EXPECT_NE(ru.out.find("Устройство: Zentrova-24 N00123\n"), std::string::npos) << ru.out;
}

TEST_F(CliAgainstLogger, LiveReadingsOneLineAPoll) {
  Start();
  const auto text = Cli({"live", server->PortName(), "--count", "3"});
  EXPECT_EQ(text.status, 0) << text.err;
  const auto lines = Lines(text.out);
  ASSERT_EQ(lines.size(), 3u) << text.out;
  for (const auto& line : lines) EXPECT_EQ(line, "15_03_2024 10:20:30.00  U 25.20 V  I 12.50 A  P 315.00 W  Q -3.25 Ah");
  const auto json = Cli({"live", server->PortName(), "--count", "1", "--json"});
  EXPECT_EQ(json.out,
            "{\"time\":\"2024-03-15T10:20:30.00\",\"voltage_v\":25.20,\"current_a\":12.50,\"power_w\":315.00,"
            "\"charge_ah\":-3.25}\n");
}

// `live PORT | head -2`: once its reader is gone the next reading cannot be written, and the
// command ends as a finished one, letting the port go.
TEST_F(CliAgainstLogger, LiveEndsWhenItsReaderGoesAway) {
  Start();
  ztest::ChildProcess cli({kCli, "live", server->PortName()});
  ASSERT_TRUE(cli.Started());
  ASSERT_EQ(cli.FirstLine(10000).rfind("15_03_2024 10:20:30.00  U 25.20 V", 0), 0u) << cli.Err();
  cli.CloseOutput();
  EXPECT_EQ(cli.Wait(5000), 0) << cli.Err();
  EXPECT_EQ(cli.Err(), "");
  auto serial = zv::MakePosixSerialBackend();
  std::unique_ptr<zv::ISerialPort> port;
  EXPECT_TRUE(serial->Open(server->PortName(), port).ok());
}

TEST_F(CliAgainstLogger, FailuresGoToStandardErrorWithStatus1) {
  zv::sim::ServerOptions silent = SteadyLogger();
  silent.device.faults.silent = true;
  Start(silent);
  const auto quiet = Cli({"info", server->PortName()});
  EXPECT_EQ(quiet.status, 1);
  EXPECT_NE(quiet.err.find("No communication with the device"), std::string::npos) << quiet.err;
  const auto ru = Cli({"info", server->PortName(), "--lang", "ru"});
  EXPECT_NE(ru.err.find("Нет связи с устройством"), std::string::npos) << ru.err;

  const auto missing = Cli({"info", (dir / "no-such-port").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("Error opening port"), std::string::npos) << missing.err;

  // A port another program holds.
  auto serial = zv::MakePosixSerialBackend();
  std::unique_ptr<zv::ISerialPort> held;
  ASSERT_TRUE(serial->Open(server->PortName(), held).ok());
  const auto busy = Cli({"info", server->PortName()});
  EXPECT_EQ(busy.status, 1);
  EXPECT_NE(busy.err.find("busy"), std::string::npos) << busy.err;
}

TEST_F(CliAgainstLogger, APortWithoutAccessTellsHowToGetIt) {
  // A plain file will do: the open fails on its permissions before the line is touched.
  const fs::path locked = dir / "locked-port";
  std::ofstream(locked) << "x";
  fs::permissions(locked, fs::perms::none);
  std::vector<std::string> prefix;
  if (::geteuid() == 0) {
    // Root passes every permission check: the program runs as nobody instead.
    prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    std::vector<std::string> probe = prefix;
    probe.insert(probe.end(), {kCli, "--help"});
    const auto ran = ztest::Run(probe);
    if (ran.status != 0) GTEST_SKIP() << "zentrova-cli cannot run as nobody here: " << ran.err;
  }
  std::vector<std::string> args = prefix;
  args.insert(args.end(), {kCli, "info", locked.string()});
  const auto denied = ztest::Run(args);
  EXPECT_EQ(denied.status, 1);
  EXPECT_NE(denied.err.find(locked.string() + ": Permission denied; to get access, join the dialout group "
                                              "(sudo usermod -aG dialout \"$USER\") and log out and in again\n"),
            std::string::npos)
      << denied.err;
  EXPECT_NE(denied.err.find("Error opening port"), std::string::npos) << denied.err;
}

TEST_F(CliAgainstLogger, UsageErrorsAndHelp) {
  const auto none = Cli({});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err, "zentrova-cli: no command given\nTry 'zentrova-cli --help'.\n");
  EXPECT_EQ(Cli({"erase", "/dev/ttyUSB0"}).status, 2);
  EXPECT_EQ(Cli({"live", "/dev/ttyUSB0", "--count", "-1"}).status, 2);
  for (const char* command : {"ports", "info", "live", "record", "download", "set-config", "sync-clock", "erase", "convert"}) {
    const auto help = Cli({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("Usage: zentrova-cli ") + command, 0), 0u) << help.out;
  }
}

TEST_F(CliAgainstLogger, SetConfigurationKeepsWhatIsNotGivenAndReadsBack) {
  Start();
  const auto done = Cli({"set-config", server->PortName(), "--period", "2.3", "--event", "on"});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(server->Device().Config().configWord, 0x1000 | 229);
  EXPECT_EQ(server->Device().Config().shuntMillivolts, 50);
  EXPECT_NE(done.out.find("Recording period: 2.29 s\nEvent recording: on\n"), std::string::npos) << done.out;
  // Version 110 has a fixed shunt.
  const auto fixed = Cli({"set-config", server->PortName(), "--shunt-a", "500"});
  EXPECT_EQ(fixed.status, 1);
  EXPECT_NE(fixed.err.find("shunt rating is fixed"), std::string::npos) << fixed.err;
  EXPECT_EQ(server->Device().Config().shuntAmps, 300);
}

TEST_F(CliAgainstLogger, SyncClockAndErase) {
  zv::sim::ServerOptions options = SteadyLogger();
  options.device.clockStopped = false;
  options.device.eraseMs = 600;
  Start(options);
  const auto sync = Cli({"sync-clock", server->PortName()});
  EXPECT_EQ(sync.status, 0) << sync.err;
  EXPECT_EQ(sync.out.rfind("Clock set to ", 0), 0u) << sync.out;
  zv::SteadyClock pc;
  EXPECT_EQ(server->Device().Time().year, pc.Now().year);

  ASSERT_GT(server->Device().RecordCount(), 0u);
  const auto erased = Cli({"erase", server->PortName(), "--yes"});
  EXPECT_EQ(erased.status, 0) << erased.err;
  EXPECT_EQ(erased.out, "Memory erased\n");
  EXPECT_EQ(server->Device().RecordCount(), 0u);
}

// The same files the window writes: a download and a recording, each beside the window's.
TEST_F(CliAgainstLogger, FilesAreTheWindowsOwn) {
  Start();
  zv::sim::SimServer windowsLogger(SteadyLogger());
  ASSERT_TRUE(windowsLogger.Start());
  zv::SteadyClock clock;
  auto serial = zv::MakePosixSerialBackend();
  zv::FixedPortTable table;
  {
    ztest::WindowOnThread window;
    window.Start(PortAccess{serial.get(), &table, {windowsLogger.PortName()}}, clock);
    window.Pick(1);
    ASSERT_TRUE(window.WaitForText(IDC_STATUS, "Данные приняты"));
    window.view.QueueFileDialogAnswer((dir / "window-mem.txt").string());
    window.Click(IDC_RECEIVE);
    ASSERT_TRUE(window.WaitFor([&] { return window.view.Shown(IDC_RECEIVE)->check == 1; }));
    ASSERT_TRUE(window.WaitFor([&] { return window.view.Shown(IDC_RECEIVE)->check == 0; }, std::chrono::seconds(60)));
    window.view.QueueFileDialogAnswer((dir / "window-rec.txt").string());
    window.Click(IDC_RECORD);
    ASSERT_TRUE(window.WaitFor([&] { return Lines(ReadFile(Made("window-rec"))).size() >= 3 + 4; }));
    window.Click(IDC_RECORD);
    ASSERT_TRUE(window.WaitForText(IDC_RECORD, "Старт"));
  }
  windowsLogger.Stop();

  const auto download = Cli({"download", server->PortName(), (dir / "cli-mem.txt").string()});
  EXPECT_EQ(download.status, 0) << download.err;
  EXPECT_EQ(download.out, Made("cli-mem").string() + "\n");
  EXPECT_NE(download.err.find("100%"), std::string::npos) << "plain percentages when not a terminal";
  const std::string cliDump = ReadFile(Made("cli-mem"));
  EXPECT_EQ(Lines(cliDump).size(), 3u + 900u);
  EXPECT_EQ(cliDump, ReadFile(Made("window-mem")));

  const auto record = Cli({"record", server->PortName(), (dir / "cli-rec.txt").string(), "--count", "4"});
  EXPECT_EQ(record.status, 0) << record.err;
  const auto cliRows = Lines(ReadFile(Made("cli-rec")));
  const auto windowRows = Lines(ReadFile(Made("window-rec")));
  ASSERT_EQ(cliRows.size(), 3u + 4u);
  EXPECT_EQ(cliRows, std::vector<std::string>(windowRows.begin(), windowRows.begin() + 7));

  // An existing file is replaced only when asked to.
  const auto again = Cli({"download", server->PortName(), (dir / "cli-mem.txt").string()});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("--yes"), std::string::npos) << again.err;
  EXPECT_EQ(Cli({"--yes", "download", server->PortName(), (dir / "cli-mem.txt").string()}).status, 0);

  // Both files as CSV, read back field by field.
  for (const auto& [file, columns] : {std::pair{Made("cli-mem"), 4u}, std::pair{Made("cli-rec"), 10u}}) {
    const auto csv = Cli({"convert", file.string()});
    ASSERT_EQ(csv.status, 0) << csv.err;
    const auto rows = Lines(csv.out);
    ASSERT_EQ(rows.size(), Lines(ReadFile(file)).size() - 2) << "a header row, then a row a record";
    for (std::size_t r = 0; r < rows.size(); ++r) {
      std::vector<std::string> fields;
      std::istringstream in(rows[r]);
      for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
      ASSERT_EQ(fields.size(), columns) << rows[r];
      if (r == 0) continue;
      EXPECT_EQ(fields[0].size(), 22u) << "2024-03-15T10:20:30.00";
      for (std::size_t i = 1; i < fields.size(); ++i) {
        std::size_t used = 0;
        std::stod(fields[i], &used);
        EXPECT_EQ(used, fields[i].size()) << fields[i];
      }
    }
  }
  std::ofstream(dir / "damaged.txt", std::ios::binary) << ReadFile(Made("cli-mem")) << "15_03_2024 10:2\r\n";
  const auto damaged = Cli({"convert", (dir / "damaged.txt").string(), "-o", (dir / "out.csv").string()});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.err.find("line 904:"), std::string::npos) << damaged.err;
}

// "15_03_2024 10:05:9,50" as "2024-03-15T10:05:09.50", for stamps of seconds below 60.
std::string Iso(const std::string& stamp) {
  const auto colon = stamp.rfind(':');
  std::string seconds = stamp.substr(colon + 1);
  seconds[seconds.find(',')] = '.';
  if (seconds.size() < 5) seconds = "0" + seconds;
  return stamp.substr(6, 4) + "-" + stamp.substr(3, 2) + "-" + stamp.substr(0, 2) + "T" +
         stamp.substr(11, colon - 11) + ":" + seconds;
}

TEST_F(CliAgainstLogger, ReportOfADownloadedMemory) {
  Start();
  const auto download = Cli({"download", server->PortName(), (dir / "mem.txt").string()});
  ASSERT_EQ(download.status, 0) << download.err;
  const auto rows = Lines(ReadFile(Made("mem")));
  ASSERT_EQ(rows.size(), 3u + 900u);
  const std::string first = rows[3].substr(0, rows[3].find(" \t"));
  const std::string last = rows.back().substr(0, rows.back().find(" \t"));

  const auto json = Cli({"report", Made("mem").string(), "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto lines = Lines(json.out);
  ASSERT_EQ(lines.size(), 1u) << json.out;
  EXPECT_EQ(lines[0].rfind("{\"device\":\"Zentrova-24 N00123\",\"file\":\"" + Made("mem").string() +
                               "\",\"samples\":900,\"start\":\"" + Iso(first) + "\",\"end\":\"" + Iso(last) +
                               "\",\"undated_rows\":0,\"phases\":[{\"kind\":",
                           0),
            0u)
      << lines[0];
  EXPECT_NE(lines[0].find("],\"totals\":{\"charge_ah\":"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[0].back(), '}');

  const auto table = Cli({"report", Made("mem").string(), "--lang", "ru", "--min-phase", "5"});
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_NE(table.out.find("Устройство: Zentrova-24 N00123\n"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("\nФазы\n"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("\nИтого\n"), std::string::npos) << table.out;

  std::ofstream(dir / "damaged.txt", std::ios::binary) << ReadFile(Made("mem")) << "15_03_2024 10:2\r\n";
  const auto damaged = Cli({"report", (dir / "damaged.txt").string()});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(damaged.out, "");
  EXPECT_NE(damaged.err.find("damaged.txt: line 904: 1 fields where the header has 4"), std::string::npos) << damaged.err;
}

TEST_F(CliAgainstLogger, ConvertKeepsRowsWhoseStampIsNotADate) {
  const fs::path file = dir / "mem.txt";
  std::ofstream(file, std::ios::binary) << kDumpWithUndatedRows;
  const auto csv = Cli({"convert", file.string()});
  EXPECT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(csv.out,
            "time,current_A,voltage_V,charge_Ah\n"
            "2024-03-15T10:20:30.00,12.50,25.20,-3.25\n"
            "00_00_2000 00:00:0.00,12.50,25.20,-3.25\n"
            "29_02_2018 10:20:30.00,12.50,25.20,-3.25\n"
            "15_03_2024 10:20:65.53,12.50,25.20,-3.25\n"
            "2024-03-15T10:20:31.00,12.50,25.20,-3.25\n");
  EXPECT_EQ(csv.err, "zentrova-cli: " + file.string() +
                         ": 3 rows have a time stamp that is not a date; their time is written as it stands\n");

  std::ofstream(dir / "nan.txt", std::ios::binary) << kDumpWithUndatedRows << "15_03_2024 10:20:32,00 \tnan \t25,20 \t-3,25\r\n";
  const auto nan = Cli({"convert", (dir / "nan.txt").string(), "-o", (dir / "nan.csv").string()});
  EXPECT_EQ(nan.status, 1);
  EXPECT_NE(nan.err.find("line 9: 'nan' is not a number"), std::string::npos) << nan.err;
}

// Writing the CSV over the file it is read from would empty it first: the output is refused
// when it is the input, under any of its names.
TEST_F(CliAgainstLogger, ConvertRefusesToWriteOverItsInput) {
  const fs::path file = dir / "mem.txt";
  std::ofstream(file, std::ios::binary) << kDumpWithUndatedRows;
  fs::create_directories(dir / "sub");
  fs::create_symlink(file, dir / "link.txt");
  fs::create_hard_link(file, dir / "hard.txt");
  for (const fs::path& output : {file, dir / "sub" / ".." / "mem.txt", dir / "link.txt", dir / "hard.txt"}) {
    std::ofstream(file, std::ios::binary) << kDumpWithUndatedRows;  // the same inode: the hard link stays one
    const auto same = Cli({"convert", file.string(), "-o", output.string()});
    EXPECT_EQ(same.status, 2) << output;
    EXPECT_EQ(same.err, "zentrova-cli: " + output.string() + " is the input file: the CSV would write over it\n");
    EXPECT_EQ(ReadFile(file), kDumpWithUndatedRows) << output << ": the input is untouched";
  }
  // Standard output appended to the input is the input too.
  std::ofstream(file, std::ios::binary) << kDumpWithUndatedRows;
  const auto appended = ztest::Run({"sh", "-c", "exec \"$0\" convert \"$1\" >>\"$1\"", kCli, file.string()});
  EXPECT_EQ(appended.status, 2);
  EXPECT_EQ(appended.err, "zentrova-cli: standard output is the input file: the CSV would write over it\n");
  EXPECT_EQ(ReadFile(file), kDumpWithUndatedRows);
}

TEST_F(CliAgainstLogger, ConvertFailsWhenItsOutputCannotBeWritten) {
  const fs::path file = dir / "mem.txt";
  std::ofstream(file, std::ios::binary) << "Zentrova-24 N00123\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n"
                                           "15_03_2024 10:20:30,00 \t12,50 \t25,20 \t-3,25\r\n";
  const auto full = Cli({"convert", file.string(), "-o", "/dev/full"});
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("zentrova-cli: /dev/full: cannot be written: No space left on device\n"), std::string::npos)
      << full.err;

  const auto fullStdout = ztest::Run({"sh", "-c", "exec \"$0\" convert \"$1\" >/dev/full", kCli, file.string()});
  EXPECT_EQ(fullStdout.status, 1);
  EXPECT_NE(fullStdout.err.find("zentrova-cli: standard output: cannot be written: No space left on device\n"),
            std::string::npos)
      << fullStdout.err;

  const auto closed = RunIntoClosedPipe({kCli, "convert", file.string()}, dir / "err.txt");
  EXPECT_EQ(closed.status, 1);
  EXPECT_NE(closed.err.find("zentrova-cli: standard output: cannot be written: Broken pipe\n"), std::string::npos)
      << closed.err;
}

#if defined(ZENTROVA_CLI_PLOTS)
TEST_F(CliAgainstLogger, ReportPlotsTheWholeFileWithoutADisplay) {
#if defined(__SANITIZE_THREAD__)
  // The chart is drawn with the help of Qt's own pool threads, and Qt is not built for the
  // thread sanitizer, which then takes their hand-over for a race.
  GTEST_SKIP() << "Qt's pool threads are not instrumented for ThreadSanitizer";
#endif
  zv::sim::ServerOptions o = SteadyLogger();
  o.device.frozen.reset();  // a battery that moves, so the chart has curves to draw
  Start(o);
  ASSERT_EQ(Cli({"download", server->PortName(), (dir / "mem.txt").string()}).status, 0);
  // No display named: the program picks the off-screen one itself.
  ::unsetenv("QT_QPA_PLATFORM");
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  const fs::path png = dir / "chart.png";
  const auto ran = Cli({"report", Made("mem").string(), "--plot", png.string()});
  ASSERT_EQ(ran.status, 0) << ran.err;
  EXPECT_NE(ran.out.find("Totals"), std::string::npos) << ran.out;
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(png.string()), "PNG"));
  EXPECT_EQ(image.width(), 1600);
  EXPECT_EQ(image.height(), 900);
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 3) {
    for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
  }
  EXPECT_GT(colours.size(), 3u) << "a blank chart";

  const struct {
    const char* name;
    std::string starts;
  } others[] = {{"chart.svg", "<?xml"}, {"chart.pdf", "%PDF-"}};
  for (const auto& other : others) {
    const auto made = Cli({"report", Made("mem").string(), "--json", "--plot", (dir / other.name).string()});
    ASSERT_EQ(made.status, 0) << other.name << ": " << made.err;
    EXPECT_EQ(ReadFile(dir / other.name).rfind(other.starts, 0), 0u) << other.name;
  }

  const auto unwritable = Cli({"report", Made("mem").string(), "--plot", (dir / "no" / "such" / "dir.png").string()});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("dir.png: cannot be written"), std::string::npos) << unwritable.err;
}
#endif

TEST_F(CliAgainstLogger, CtrlCEndsADownloadCleanly) {
  zv::sim::ServerOptions paced = SteadyLogger();
  paced.pacing = true;  // 2048 pages at the wire's speed take 90 s: time enough to interrupt
  Start(paced);
  ztest::ChildProcess cli({kCli, "download", server->PortName(), (dir / "mem.txt").string()});
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(cli.WaitForError("1%", 30000)) << cli.Err();
  cli.Signal(SIGINT);
  EXPECT_EQ(cli.Wait(), 1);
  EXPECT_NE(cli.Err().find("interrupted"), std::string::npos) << cli.Err();
  // The file ends with a whole row, and the port is free again.
  const std::string dump = ReadFile(Made("mem"));
  ASSERT_GT(dump.size(), 100u);
  EXPECT_EQ(dump.substr(dump.size() - 2), "\r\n");
  auto serial = zv::MakePosixSerialBackend();
  std::unique_ptr<zv::ISerialPort> port;
  EXPECT_TRUE(serial->Open(server->PortName(), port).ok());
}

// --retries counts the misses in a row: every page that arrives starts the count again.
TEST_F(CliAgainstLogger, RetriesCountMissedPagesInARow) {
  struct Case {
    std::vector<uint32_t> dropped;  // replies the logger leaves out; the first is the configuration's
    int status;
    const char* err;
  };
  for (const Case& c : {Case{{5, 9, 14}, 0, "100%"}, Case{{5, 6}, 1, "the logger does not send the memory page"}}) {
    zv::sim::ServerOptions options = SteadyLogger();
    options.device.faults.dropReplies = c.dropped;
    Start(options);
    const auto run = Cli({"--yes", "download", server->PortName(), (dir / "mem.txt").string(), "--retries", "1"});
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    server->Stop();
  }
}

// ---- the logger unplugged -----------------------------------------------------------------------

class CliLosingTheLogger : public CliAgainstLogger {
 protected:
  // The steady logger behind a link in the test's folder, with a memory of 20 full pages.
  zv::sim::ServerOptions OnALink(zv::sim::HotPlugOptions hotPlug) const {
    zv::sim::ServerOptions options = SteadyLogger();
    options.device.records = 20 * 256;
    options.linkPath = (dir / "logger").string();
    options.hotPlug = hotPlug;
    return options;
  }
  static double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
  }
};

TEST_F(CliLosingTheLogger, WithoutReconnectTheCommandEndsWithStatus1SoonAfterTheLoss) {
  struct Case {
    const char* name;
    std::vector<std::string> args;  // after the port
    bool byPages;                   // unplugged after 5 pages, else after 1.5 s
    double within;                  // seconds from the start at the most
  };
  const std::string file = (dir / "f").string();
  for (const Case& c : {Case{"live", {"live"}, false, 1.5 + 5}, Case{"record", {"record", file, "--seconds", "30"}, false, 1.5 + 5},
                        Case{"download", {"--yes", "download", file}, true, 8}}) {
    SCOPED_TRACE(c.name);
    zv::sim::HotPlugOptions hotPlug;
    if (c.byPages) {
      hotPlug.unplugAfterPages = 5;
    } else {
      hotPlug.unplugAfterMs = 1500;
    }
    Start(OnALink(hotPlug));
    std::vector<std::string> args = c.args;
    args.insert(args.begin() + (c.args[0] == "--yes" ? 2 : 1), server->PortName());
    const auto start = std::chrono::steady_clock::now();
    const auto run = Cli(args);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_LT(Seconds(start), c.within);
    EXPECT_NE(run.err.find("the port was lost"), std::string::npos) << run.err;
    server->Stop();
  }
}

TEST_F(CliLosingTheLogger, WithReconnectARecordingGoesOnIntoTheSameFile) {
  zv::sim::HotPlugOptions hotPlug;
  hotPlug.unplugAfterMs = 1500;
  hotPlug.replugAfterMs = 2000;
  Start(OnALink(hotPlug));
  const auto run = Cli({"record", server->PortName(), (dir / "rec").string(), "--seconds", "6", "--reconnect"});
  EXPECT_EQ(run.status, 0) << run.err;
  const auto rows = Lines(ReadFile(Made("rec")));
  EXPECT_GT(rows.size(), 3u + 5u) << "rows before the loss and after it";
}

TEST_F(CliLosingTheLogger, WithReconnectADownloadEndsWithTheFileOfOneWithoutLoss) {
  Start(OnALink({}));
  const auto whole = Cli({"download", server->PortName(), (dir / "whole").string()});
  ASSERT_EQ(whole.status, 0) << whole.err;
  server->Stop();
  zv::sim::HotPlugOptions hotPlug;
  hotPlug.unplugAfterPages = 5;
  hotPlug.replugAfterMs = 1500;
  Start(OnALink(hotPlug));
  const auto run = Cli({"download", server->PortName(), (dir / "lost").string(), "--reconnect"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(ReadFile(Made("lost")) == ReadFile(Made("whole")));
}

TEST_F(CliLosingTheLogger, WithReconnectAnotherLoggerEndsItWithNothingOfIt) {
  zv::sim::HotPlugOptions hotPlug;
  hotPlug.unplugAfterPages = 5;
  hotPlug.replugAfterMs = 1500;
  hotPlug.replugSerial = 777;
  Start(OnALink(hotPlug));
  const auto run = Cli({"download", server->PortName(), (dir / "mem").string(), "--reconnect"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("another logger"), std::string::npos) << run.err;
  EXPECT_EQ(Lines(ReadFile(Made("mem"))).size(), 3u + 5u * 256u) << "the header and the lost logger's five pages";
}

TEST_F(CliLosingTheLogger, TheWaitEndsAtCtrlCOrItsTimeout) {
  zv::sim::HotPlugOptions hotPlug;
  hotPlug.unplugAfterMs = 1000;
  Start(OnALink(hotPlug));
  ztest::ChildProcess cli({kCli, "record", server->PortName(), (dir / "rec").string(), "--reconnect"});
  ASSERT_TRUE(cli.Started());
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));
  cli.Signal(SIGINT);
  const auto interrupted = std::chrono::steady_clock::now();
  EXPECT_EQ(cli.Wait(5000), 1);
  EXPECT_LT(Seconds(interrupted), 2.0);
  EXPECT_NE(cli.Err().find("interrupted while waiting for the logger"), std::string::npos) << cli.Err();
  server->Stop();

  hotPlug.unplugAfterMs = 1500;
  zv::sim::ServerOptions second = OnALink(hotPlug);
  second.linkPath = (dir / "logger2").string();
  Start(second);
  const auto start = std::chrono::steady_clock::now();
  const auto bounded = Cli({"live", server->PortName(), "--reconnect", "--reconnect-timeout", "1"});
  EXPECT_EQ(bounded.status, 1);
  EXPECT_LT(Seconds(start), 1.5 + 1.0 + 5.0);
  EXPECT_NE(bounded.err.find("the logger did not come back in time"), std::string::npos) << bounded.err;
}

// The erase wait may last minutes: Ctrl-C or a polite kill ends it at once and lets the port go.
TEST_F(CliAgainstLogger, EraseEndsAtOnceWhenInterrupted) {
  for (const int sig : {SIGINT, SIGTERM}) {
    zv::sim::ServerOptions options = SteadyLogger();
    options.device.eraseMs = 60000;
    Start(options);
    ztest::ChildProcess cli({kCli, "erase", server->PortName(), "--yes"});
    ASSERT_TRUE(cli.Started());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (server->Device().GetCounters().erases == 0 && std::chrono::steady_clock::now() < until) cli.ReadFor(20);
    ASSERT_EQ(server->Device().GetCounters().erases, 1u) << cli.Err();
    cli.Signal(sig);
    EXPECT_EQ(cli.Wait(3000), 1) << sig;
    EXPECT_NE(cli.Err().find("interrupted"), std::string::npos) << cli.Err();
    auto serial = zv::MakePosixSerialBackend();
    std::unique_ptr<zv::ISerialPort> port;
    EXPECT_TRUE(serial->Open(server->PortName(), port).ok());
    port.reset();
    server->Stop();
  }
}

TEST_F(CliAgainstLogger, SimulateNeedsNoPort) {
  const auto info = Cli({"--simulate", "info", "--json"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("\"device\":\"Zentrova-24 N00123\""), std::string::npos) << info.out;
}

}  // namespace
