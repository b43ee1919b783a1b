// The zentrova-sim executable as a process: its first line, its link, its exit, its option
// errors, and a Modbus master that nobody here wrote (mbpoll) reading its registers.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "pty_client.h"
#include "sim/frames.h"
#include "test_util.h"

extern char** environ;

namespace zv::sim {
namespace {

const char* const kSimExe = ZENTROVA_SIM_EXE;

struct Child {
  pid_t pid = -1;
  int out = -1;  // its standard output
  int err = -1;  // its standard error
};

// Starts argv[0] (searched in PATH) with its output on pipes. pid -1 when it cannot start.
Child Spawn(const std::vector<std::string>& args) {
  Child c;
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return c;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_adddup2(&fa, err[1], 2);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  ::close(out[1]);
  ::close(err[1]);
  if (rc != 0) {
    ::close(out[0]);
    ::close(err[0]);
    return c;
  }
  c.pid = pid;
  c.out = out[0];
  c.err = err[0];
  return c;
}

// Reads fd up to the first newline (excluded) or its end, within deadlineMs.
std::string ReadLine(int fd, int deadlineMs = 10000) {
  std::string line;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char ch;
    if (::read(fd, &ch, 1) != 1) break;
    if (ch == '\n') break;
    line.push_back(ch);
  }
  return line;
}

std::string ReadAll(int fd) {
  std::string s;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    s.append(buf, static_cast<std::size_t>(n));
  }
  return s;
}

// Waits for the child to end (bounded); its exit status, or -1 when it had to be killed or
// died of a signal.
int Wait(Child& c, int deadlineMs = 20000) {
  int status = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
  for (;;) {
    const pid_t r = ::waitpid(c.pid, &status, WNOHANG);
    if (r == c.pid) break;
    if (std::chrono::steady_clock::now() > end) {
      ::kill(c.pid, SIGKILL);
      ::waitpid(c.pid, &status, 0);
      return -1;
    }
    ::usleep(2000);
  }
  c.pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Finished {
  int code;
  std::string out;
  std::string err;
};

Finished RunToEnd(const std::vector<std::string>& args) {
  Child c = Spawn(args);
  if (c.pid < 0) return {-1, "", "cannot start " + args[0]};
  std::string out = ReadAll(c.out);
  std::string err = ReadAll(c.err);
  ::close(c.out);
  ::close(c.err);
  return {Wait(c), out, err};
}

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
  void TearDown() override {
    if (sim_.pid > 0) {
      ::kill(sim_.pid, SIGKILL);
      Wait(sim_);
    }
    if (sim_.out >= 0) ::close(sim_.out);
    if (sim_.err >= 0) ::close(sim_.err);
  }

  // Starts the simulator and returns its port (its first line of output).
  std::string StartSim(std::vector<std::string> args) {
    args.insert(args.begin(), kSimExe);
    sim_ = Spawn(args);
    if (sim_.pid < 0) return "";
    return ReadLine(sim_.out);
  }

  Child sim_;
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

  ASSERT_EQ(::kill(sim_.pid, SIGTERM), 0);
  EXPECT_EQ(Wait(sim_), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::filesystem::remove_all(dir);
}

TEST_F(SimProcess, SigintAlsoEndsIt) {
  const std::string port = StartSim({"--no-pacing"});
  ASSERT_FALSE(port.empty());
  ASSERT_EQ(::kill(sim_.pid, SIGINT), 0);
  EXPECT_EQ(Wait(sim_), 0);
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
  ::kill(sim_.pid, SIGTERM);
  ASSERT_EQ(Wait(sim_), 0);
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
  const Finished f = RunToEnd(args);
  EXPECT_EQ(f.code, 2);
  EXPECT_TRUE(f.out.empty()) << f.out;
  EXPECT_NE(f.err.find(GetParam().mentions), std::string::npos) << f.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, BadOptions,
                         ::testing::Values(BadRun{{"--frobnicate"}, "unknown option '--frobnicate'"},
                                           BadRun{{"--version", "ten"}, "--version"},
                                           BadRun{{"--split-reply", "3"}, "N:MS"},
                                           BadRun{{"--records", "600000"}, "at most 524288"}),
                         [](const auto& info) {
                           std::string joined;
                           for (const auto& a : info.param.args) joined += a + " ";
                           return testing::SafeName(joined);
                         });

TEST(SimExecutable, HelpListsTheOptionsAndExitsZero) {
  const Finished f = RunToEnd({kSimExe, "--help"});
  EXPECT_EQ(f.code, 0);
  EXPECT_NE(f.out.find("--vanish-after-pages"), std::string::npos);
}

TEST(SimExecutable, PrintRegistersListsSeventeen) {
  const Finished f = RunToEnd({kSimExe, "--freeze", "12.34:24:1", "--print-registers"});
  EXPECT_EQ(f.code, 0) << f.err;
  const std::vector<std::string> lines = RegisterLines(f.out);
  ASSERT_EQ(lines.size(), 17u) << f.out;
  EXPECT_EQ(lines[2], "[2]: \t0x04D2");  // 12.34 A at 50 A per 5000 counts
  EXPECT_EQ(lines[6], "[6]: \t0x1388");  // 24 V at 24 V nominal
}

// mbpoll is a libmodbus master: it checks the frame, the address, the byte count and the
// CRC of the reply by its own rules.
TEST_F(SimProcess, MbpollReadsTheRegistersTheSimulatorMeant) {
  const Finished probe = RunToEnd({"mbpoll", "-V"});
  ASSERT_EQ(probe.code, 0) << "mbpoll is needed for this test (Debian package mbpoll): " << probe.err;

  const std::vector<std::string> model = {"--version", "210", "--shunt-a", "500", "--nominal-voltage", "48",
                                          "--freeze", "-37.5:51.2:-12.25", "--device-time", "2024-03-15T10:20:30",
                                          "--stop-clock"};
  std::vector<std::string> print = model;
  print.insert(print.begin(), kSimExe);
  print.push_back("--print-registers");
  const Finished expected = RunToEnd(print);
  ASSERT_EQ(expected.code, 0) << expected.err;
  const std::vector<std::string> meant = RegisterLines(expected.out);
  ASSERT_EQ(meant.size(), 17u) << expected.out;

  const std::string port = StartSim(model);
  ASSERT_EQ(port.rfind("/dev/pts/", 0), 0u) << port;
  for (int round = 0; round < 3; ++round) {
    const Finished polled = RunToEnd({"mbpoll", "-m", "rtu", "-a", "1", "-b", "921600", "-P", "none", "-t",
                                      "3:hex", "-r", "0", "-c", "17", "-0", "-1", "-o", "2", port});
    ASSERT_EQ(polled.code, 0) << polled.out << polled.err;
    EXPECT_EQ(RegisterLines(polled.out), meant) << polled.out;
  }
}

}  // namespace
}  // namespace zv::sim
