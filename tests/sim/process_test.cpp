// The zentrova-sim executable as a process: its first line, its link, its exit, its option
// errors, and a Modbus master that nobody here wrote (mbpoll) reading its registers.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "pty_client.h"
#include "sim/frames.h"
#include "support/child_process.h"
#include "test_util.h"

namespace zv::sim {
namespace {

const char* const kSimExe = ZENTROVA_SIM_EXE;

using ztest::ChildProcess;

// Runs a program to its end: its exit status, 127 when it cannot start.
ztest::Ran RunToEnd(const std::vector<std::string>& args) { return ztest::Run(args, 20000); }

// The lines of a register listing: "[i]: \t0x...." as mbpoll prints them.
std::vector<std::string> RegisterLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') lines.push_back(line);
  }
  return lines;
}

class SimProcess : public ::testing::Test {
 protected:
  // Starts the simulator and returns its port (its first line of output). The simulator is
  // killed, if still running, when the test ends.
  std::string StartSim(std::vector<std::string> args) {
    args.insert(args.begin(), kSimExe);
    sim_ = std::make_unique<ChildProcess>(args);
    if (!sim_->Started()) return "";
    return sim_->FirstLine(10000);
  }
  // Waits for the simulator to end and returns its exit status.
  int WaitSim() { return sim_->Wait(20000); }

  std::unique_ptr<ChildProcess> sim_;
};

TEST_F(SimProcess, PrintsItsPortAnswersAndExitsCleanlyOnSigterm) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("zentrova-sim-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string link = (dir / "port").string();
  const std::string port = StartSim({"--link", link, "--latency-ms", "1"});
  ASSERT_EQ(port.rfind("/dev/pts/", 0), 0u) << "first line: '" << port << "'";
  ASSERT_EQ(std::filesystem::read_symlink(link).string(), port);

  testing::PtyClient client;
  std::string error;
  ASSERT_TRUE(client.Open(link, &error)) << error;
  const std::vector<uint8_t> reply = Exchange(client, MeasurementRequest(), 39);
  ASSERT_EQ(reply.size(), 39u);
  EXPECT_TRUE(testing::ReplyCrcValid(reply));
  const std::vector<uint8_t> page = Exchange(client, PageRequest(0), 4096);  // paced by default
  EXPECT_EQ(page.size(), 4096u);
  client.Close();

  ASSERT_TRUE(sim_->Signal(SIGTERM));
  EXPECT_EQ(WaitSim(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::filesystem::remove_all(dir);
}

TEST_F(SimProcess, Sigusr1UnplugsAndSigusr2PlugsBackAsTheLoggerItWasToldToBe) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("zentrova-sim-plug-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string link = (dir / "port").string();
  const std::string port = StartSim({"--link", link, "--no-pacing", "--replug-serial", "4242:210"});
  ASSERT_EQ(port.rfind("/dev/pts/", 0), 0u) << port;
  const auto identity = [&] {
    testing::PtyClient client;
    if (!client.Open(link)) return std::pair<int, int>{-1, -1};
    const std::vector<uint8_t> reply = Exchange(client, ConfigReadRequest(), 25);
    if (reply.size() != 25u) return std::pair<int, int>{-2, -2};
    return std::pair<int, int>{testing::Reg(reply, 1), testing::Reg(reply, 0)};
  };
  EXPECT_EQ(identity(), (std::pair<int, int>{123, 110}));
  testing::PtyClient held;
  ASSERT_TRUE(held.Open(link));

  ASSERT_TRUE(sim_->Signal(SIGUSR1));
  ASSERT_TRUE(sim_->WaitForError("unplugged on request: " + link + " is gone", 5000)) << sim_->Err();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  EXPECT_FALSE(held.Write(ConfigReadRequest()));  // hung up
  held.Close();
  EXPECT_EQ(identity().first, -1);

  ASSERT_TRUE(sim_->Signal(SIGUSR2));
  ASSERT_TRUE(sim_->WaitForError("plugged back on request: " + link + " -> /dev/pts/", 5000)) << sim_->Err();
  EXPECT_NE(sim_->Err().find("serial 4242, version 210"), std::string::npos) << sim_->Err();
  EXPECT_EQ(identity(), (std::pair<int, int>{4242, 210}));

  ASSERT_TRUE(sim_->Signal(SIGTERM));
  EXPECT_EQ(WaitSim(), 0);
  EXPECT_EQ(std::count(sim_->Err().begin(), sim_->Err().end(), '\n'), 2) << sim_->Err();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::filesystem::remove_all(dir);
}

TEST_F(SimProcess, SigintAlsoEndsIt) {
  const std::string port = StartSim({"--no-pacing"});
  ASSERT_FALSE(port.empty());
  ASSERT_TRUE(sim_->Signal(SIGINT));
  EXPECT_EQ(WaitSim(), 0);
}

TEST_F(SimProcess, WritesTheHexLogToAFile) {
  const std::string log = (std::filesystem::temp_directory_path() /
                           ("zentrova-sim-log-" + std::to_string(::getpid()) + ".txt"))
                              .string();
  const std::string port = StartSim({"--no-pacing", "--log", log});
  ASSERT_FALSE(port.empty());
  testing::PtyClient client;
  ASSERT_TRUE(client.Open(port));
  ASSERT_EQ(Exchange(client, ConfigReadRequest(), 25).size(), 25u);
  client.Close();
  ASSERT_TRUE(sim_->Signal(SIGTERM));
  ASSERT_EQ(WaitSim(), 0);
  std::ifstream in(log);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("rx 01 64 00 00 00 0A F0 05"), std::string::npos) << text;
  EXPECT_NE(text.find("tx 01 64 14 00 6E"), std::string::npos) << text;
  std::filesystem::remove(log);
}

struct BadRun {
  std::vector<std::string> args;
  const char* mentions;
};

class BadOptions : public ::testing::TestWithParam<BadRun> {};

TEST_P(BadOptions, ExitWithCodeTwoAndSayWhy) {
  std::vector<std::string> args = GetParam().args;
  args.insert(args.begin(), kSimExe);
  const ztest::Ran f = RunToEnd(args);
  EXPECT_EQ(f.status, 2);
  EXPECT_TRUE(f.out.empty()) << f.out;
  EXPECT_NE(f.err.find(GetParam().mentions), std::string::npos) << f.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, BadOptions,
                         ::testing::Values(BadRun{{"--frobnicate"}, "unknown option '--frobnicate'"},
                                           BadRun{{"--version", "ten"}, "--version"},
                                           BadRun{{"--split-reply", "3"}, "N:MS"},
                                           BadRun{{"--records", "600000"}, "at most 524288"},
                                           BadRun{{"--replug-serial", "x"}, "S or S:VERSION"},
                                           BadRun{{"--profile", "lunar"}, "capacity or solar"}),
                         [](const auto& info) {
                           std::string joined;
                           for (const auto& a : info.param.args) joined += a + " ";
                           return testing::SafeName(joined);
                         });

TEST(SimExecutable, HelpListsTheOptionsAndExitsZero) {
  const ztest::Ran f = RunToEnd({kSimExe, "--help"});
  EXPECT_EQ(f.status, 0);
  EXPECT_NE(f.out.find("--vanish-after-pages"), std::string::npos);
}

TEST(SimExecutable, PrintRegistersListsSeventeen) {
  const ztest::Ran f = RunToEnd({kSimExe, "--freeze", "12.34:24:1", "--print-registers"});
  EXPECT_EQ(f.status, 0) << f.err;
  const std::vector<std::string> lines = RegisterLines(f.out);
  ASSERT_EQ(lines.size(), 17u) << f.out;
  EXPECT_EQ(lines[2], "[2]: \t0x04D2");  // 12.34 A at 50 A per 5000 counts
  EXPECT_EQ(lines[6], "[6]: \t0x1388");  // 24 V at 24 V nominal
}

TEST(SimExecutable, CapacityProfileIsBackAtRestWhenReached) {
  // The memory holds one whole capacity test; the logger is reached as the next one begins,
  // resting full: no current, the open-circuit voltage of a full battery (27.96 V of 24).
  const ztest::Ran f = RunToEnd({kSimExe, "--profile", "capacity", "--print-registers"});
  EXPECT_EQ(f.status, 0) << f.err;
  const std::vector<std::string> lines = RegisterLines(f.out);
  ASSERT_EQ(lines.size(), 17u) << f.out;
  EXPECT_EQ(lines[0], "[0]: \t0x0000");
  EXPECT_EQ(lines[6], "[6]: \t0x16C1");
}

// mbpoll is a libmodbus master: it checks the frame, the address, the byte count and the
// CRC of the reply by its own rules.
TEST_F(SimProcess, MbpollReadsTheRegistersTheSimulatorMeant) {
  const ztest::Ran probe = RunToEnd({"mbpoll", "-V"});
  ASSERT_EQ(probe.status, 0) << "mbpoll is needed for this test (Debian package mbpoll): " << probe.err;

  const std::vector<std::string> model = {"--version", "210", "--shunt-a", "500", "--nominal-voltage", "48",
                                          "--freeze", "-37.5:51.2:-12.25", "--device-time", "2024-03-15T10:20:30",
                                          "--stop-clock"};
  std::vector<std::string> print = model;
  print.insert(print.begin(), kSimExe);
  print.push_back("--print-registers");
  const ztest::Ran expected = RunToEnd(print);
  ASSERT_EQ(expected.status, 0) << expected.err;
  const std::vector<std::string> meant = RegisterLines(expected.out);
  ASSERT_EQ(meant.size(), 17u) << expected.out;

  const std::string port = StartSim(model);
  ASSERT_EQ(port.rfind("/dev/pts/", 0), 0u) << port;
  for (int round = 0; round < 3; ++round) {
    const ztest::Ran polled = RunToEnd({"mbpoll", "-m", "rtu", "-a", "1", "-b", "921600", "-P", "none", "-t",
                                      "3:hex", "-r", "0", "-c", "17", "-0", "-1", "-o", "2", port});
    ASSERT_EQ(polled.status, 0) << polled.out << polled.err;
    EXPECT_EQ(RegisterLines(polled.out), meant) << polled.out;
  }
}

}  // namespace
}  // namespace zv::sim
