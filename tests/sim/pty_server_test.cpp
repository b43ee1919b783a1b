// The simulated logger over a real pseudo-terminal, opened the way the program opens a port.
#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "pty_client.h"
#include "sim/frames.h"
#include "test_util.h"

namespace zv::sim {
namespace {

using testing::PtyClient;
using testing::ReplyCrcValid;

class PtyServerTest : public ::testing::Test {
 protected:
  void StartServer(ServerOptions o = {}) {
    o.device.records = 600;
    server_ = std::make_unique<SimServer>(o);
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
    ASSERT_FALSE(server_->PortName().empty());
  }

  void OpenClient() {
    std::string error;
    ASSERT_TRUE(client_.Open(server_->PortName(), &error)) << error;
  }

  // Waits (bounded) for a condition the server thread brings about.
  template <typename Pred>
  static bool Eventually(Pred pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  VirtualClock clock_;  // outlives server_, which may run on it
  std::unique_ptr<SimServer> server_;
  PtyClient client_;
};

TEST_F(PtyServerTest, MeasurementRequestGetsThirtyNineBytesWithValidCrc) {
  StartServer();
  OpenClient();
  const std::vector<uint8_t> reply = Exchange(client_, testing::Hex("01 04 00 00 00 11 30 06"), 39);
  ASSERT_EQ(reply.size(), 39u);
  EXPECT_EQ(reply[0], 0x01);
  EXPECT_EQ(reply[1], 0x04);  // not an echo of the request: the slave is raw
  EXPECT_EQ(reply[2], 34);
  EXPECT_TRUE(ReplyCrcValid(reply));
  EXPECT_TRUE(client_.ReadUntilQuiet(30, 30).empty());
}

TEST_F(PtyServerTest, EveryRequestKindAnswersOverThePort) {
  ServerOptions o;
  o.device.eraseMs = 5;
  StartServer(o);
  OpenClient();
  const LocalTime t = testing::Time(2024, 3, 15, 10, 20, 30);
  const struct {
    std::vector<uint8_t> request;
    std::size_t length;
  } cases[] = {{ConfigReadRequest(), 25},    {MeasurementRequest(), 39},  {ClockWriteRequest(11, t), 8},
               {ClockWriteRequest(5, t), 8}, {ConfigWriteRequest(50, 50, 300), 4}, {EraseRequest(), 8}};
  for (const auto& c : cases) {
    const std::vector<uint8_t> reply = Exchange(client_, c.request, c.length);
    ASSERT_EQ(reply.size(), c.length) << HexBytes(c.request);
    EXPECT_EQ(reply[1], c.request[1]);
    EXPECT_TRUE(ReplyCrcValid(reply)) << HexBytes(reply);
  }
  EXPECT_EQ(server_->Device().RecordCount(), 0u);
}

TEST_F(PtyServerTest, SurvivesTwoHundredOpenCloseCycles) {
  StartServer();
  for (int i = 0; i < 200; ++i) {
    PtyClient c;
    std::string error;
    ASSERT_TRUE(c.Open(server_->PortName(), &error)) << "cycle " << i << ": " << error;
    const std::vector<uint8_t> reply = Exchange(c, MeasurementRequest(), 39);
    ASSERT_EQ(reply.size(), 39u) << "cycle " << i;
    ASSERT_TRUE(ReplyCrcValid(reply)) << "cycle " << i;
  }
  EXPECT_EQ(server_->Device().GetCounters().requests, 200u);
}

TEST_F(PtyServerTest, PageRequestReturnsExactly4096Bytes) {
  StartServer();
  OpenClient();
  const std::vector<uint8_t> page = Exchange(client_, PageRequest(0x10), 4096);
  ASSERT_EQ(page.size(), 4096u);
  EXPECT_EQ(page, server_->Device().Page(0x10));
  EXPECT_TRUE(client_.ReadUntilQuiet(30, 30).empty());
}

TEST_F(PtyServerTest, PacedPagesArriveWhole) {
  ServerOptions o;
  o.pacing = true;
  StartServer(o);
  OpenClient();
  for (uint16_t address : {0x00, 0x10, 0x20}) {
    const std::vector<uint8_t> page = Exchange(client_, PageRequest(address), 4096);
    ASSERT_EQ(page.size(), 4096u);
    EXPECT_EQ(page, server_->Device().Page(address));
  }
  EXPECT_TRUE(ReplyCrcValid(Exchange(client_, MeasurementRequest(), 39)));
}

TEST_F(PtyServerTest, ClientCanHoldThePortExclusively) {
  StartServer();
  OpenClient();
  // A second open of the locked port cannot take the lock (root passes TIOCEXCL, not flock).
  const int other = ::open(server_->PortName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (other >= 0) {
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
  }
  client_.Close();
  OpenClient();  // and the lock is free again after the close
  EXPECT_EQ(Exchange(client_, MeasurementRequest(), 39).size(), 39u);
}

TEST_F(PtyServerTest, GarbageBeforeARequestIsSkipped) {
  StartServer();
  OpenClient();
  std::vector<uint8_t> stream = testing::Hex("00 FF 13 01 01");
  const std::vector<uint8_t> req = MeasurementRequest();
  stream.insert(stream.end(), req.begin(), req.end());
  const std::vector<uint8_t> reply = Exchange(client_, stream, 39);
  ASSERT_EQ(reply.size(), 39u);
  EXPECT_TRUE(ReplyCrcValid(reply));
}

TEST_F(PtyServerTest, BadCrcGetsNoReplyAndTheNextRequestDoes) {
  StartServer();
  OpenClient();
  ASSERT_TRUE(client_.Write(testing::Hex("01 04 00 00 00 11 30 07")));
  EXPECT_TRUE(client_.ReadUntilQuiet(100, 100).empty());
  EXPECT_EQ(Exchange(client_, MeasurementRequest(), 39).size(), 39u);
}

TEST_F(PtyServerTest, UnfinishedRequestIsGivenUpAfterSilence) {
  ServerOptions o;
  o.idleFlushMs = 20;
  StartServer(o);
  OpenClient();
  // The header announces 255 data bytes and so swallows the request behind it, until the
  // line has been quiet long enough.
  ASSERT_TRUE(client_.Write(testing::Hex("01 10 00 0B 00 04 FF")));
  const std::vector<uint8_t> reply = Exchange(client_, MeasurementRequest(), 39);
  ASSERT_EQ(reply.size(), 39u);
  EXPECT_TRUE(ReplyCrcValid(reply));
}

TEST_F(PtyServerTest, ReplyToAClosedPortIsNotLeftForTheNextOpen) {
  ServerOptions o;
  o.latencyMs = 200;
  StartServer(o);
  OpenClient();
  ASSERT_TRUE(client_.Write(MeasurementRequest()));
  client_.Close();  // gives up long before the reply comes
  ASSERT_TRUE(Eventually([&] { return server_->LostReplies() == 1; }));
  OpenClient();
  const std::vector<uint8_t> reply = Exchange(client_, ConfigReadRequest(), 25);
  ASSERT_EQ(reply.size(), 25u);
  EXPECT_EQ(reply[1], 0x64);
  EXPECT_TRUE(ReplyCrcValid(reply));
}

TEST_F(PtyServerTest, SplitReplyArrivesInTwoBursts) {
  ServerOptions o;
  o.device.faults.splitReplies = {{1, 30}};
  std::ostringstream log;
  o.log = &log;
  StartServer(o);
  OpenClient();
  const std::vector<uint8_t> reply = Exchange(client_, MeasurementRequest(), 39);
  ASSERT_EQ(reply.size(), 39u);
  EXPECT_TRUE(ReplyCrcValid(reply));
  server_->Stop();
  const std::string text = log.str();
  const auto first = text.find("tx 01 04 22");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_NE(text.find("tx ", first + 1), std::string::npos) << text;  // the second half
}

TEST_F(PtyServerTest, VanishingDeviceClosesThePort) {
  ServerOptions o;
  o.device.faults.vanishAfterPages = 1;
  StartServer(o);
  OpenClient();
  ASSERT_EQ(Exchange(client_, PageRequest(0), 4096).size(), 4096u);
  ASSERT_TRUE(client_.Write(PageRequest(0x10)));
  EXPECT_TRUE(client_.ReadUntilQuiet(50, 500).empty());
  ASSERT_TRUE(Eventually([&] { return server_->LinkClosed(); }));
  client_.Close();
  PtyClient again;
  EXPECT_FALSE(again.Open(server_->PortName()));
}

TEST_F(PtyServerTest, MutedDeviceKeepsThePortButNeverAnswers) {
  ServerOptions o;
  o.device.faults.vanishAfterPages = 1;
  o.device.faults.vanishMode = VanishMode::kMute;
  StartServer(o);
  OpenClient();
  ASSERT_EQ(Exchange(client_, PageRequest(0), 4096).size(), 4096u);
  ASSERT_TRUE(client_.Write(PageRequest(0x10)));
  EXPECT_TRUE(client_.ReadUntilQuiet(50, 100).empty());
  client_.Close();
  OpenClient();
  ASSERT_TRUE(client_.Write(MeasurementRequest()));
  EXPECT_TRUE(client_.ReadUntilQuiet(50, 100).empty());
  EXPECT_FALSE(server_->LinkClosed());
}

// A logger behind a link in a folder of its own, so that it can be unplugged and plugged back.
class HotPlugTest : public PtyServerTest {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("zentrova-hotplug-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    client_.Close();
    if (server_) server_->Stop();
    std::filesystem::remove_all(dir_);
  }
  ServerOptions Linked() {
    ServerOptions o;
    o.linkPath = (dir_ / "logger").string();
    o.log = &log_;
    return o;
  }
  bool LinkExists() const {
    return std::filesystem::is_symlink(std::filesystem::symlink_status(dir_ / "logger"));
  }
  // The serial number and version of the configuration reply.
  std::pair<uint16_t, uint16_t> Identity() {
    const std::vector<uint8_t> reply = Exchange(client_, ConfigReadRequest(), 25);
    if (reply.size() != 25u || !ReplyCrcValid(reply)) return {0, 0};
    return {testing::Reg(reply, 1), testing::Reg(reply, 0)};
  }

  std::filesystem::path dir_;
  std::ostringstream log_;  // read only after Stop
};

TEST_F(HotPlugTest, UnplugHangsUpTheHolderAndRemovesTheLinkReplugAnswersBehindIt) {
  StartServer(Linked());
  EXPECT_EQ(server_->PortName(), (dir_ / "logger").string());
  EXPECT_EQ(std::filesystem::read_symlink(dir_ / "logger").string(), server_->TerminalName());
  OpenClient();
  const std::vector<uint8_t> before = Exchange(client_, PageRequest(0x10), 4096);
  ASSERT_EQ(before.size(), 4096u);

  ASSERT_TRUE(server_->Unplug());
  EXPECT_FALSE(server_->Plugged());
  EXPECT_FALSE(LinkExists());
  PtyClient other;
  std::string error;
  EXPECT_FALSE(other.Open(server_->PortName(), &error));
  EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;
  // The old slave is hung up: poll says so at once and a read brings nothing.
  pollfd p{client_.fd(), POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 1000), 1);
  EXPECT_NE(p.revents & POLLHUP, 0);
  uint8_t byte = 0;
  EXPECT_LE(::read(client_.fd(), &byte, 1), 0);
  EXPECT_FALSE(client_.Write(PageRequest(0x10)));
  EXPECT_FALSE(server_->Unplug());  // already out

  ASSERT_TRUE(server_->Replug());
  EXPECT_TRUE(server_->Plugged());
  ASSERT_TRUE(LinkExists());
  EXPECT_EQ(std::filesystem::read_symlink(dir_ / "logger").string(), server_->TerminalName());
  EXPECT_FALSE(server_->Replug());  // already in
  OpenClient();
  EXPECT_EQ(Exchange(client_, PageRequest(0x10), 4096), before);
  EXPECT_EQ(Identity(), (std::pair<uint16_t, uint16_t>{123, 110}));
  server_->Stop();
  EXPECT_FALSE(LinkExists());
  const std::string text = log_.str();
  EXPECT_NE(text.find("unplugged on request: " + (dir_ / "logger").string() + " is gone"), std::string::npos) << text;
  EXPECT_NE(text.find("plugged back on request: " + (dir_ / "logger").string() + " -> /dev/pts/"), std::string::npos)
      << text;
}

TEST_F(HotPlugTest, ComesBackAsAnotherLoggerWhenToldTo) {
  const struct {
    std::optional<uint16_t> version;
    std::pair<uint16_t, uint16_t> after;
  } cases[] = {{std::nullopt, {4242, 110}}, {210, {4242, 210}}};
  for (const auto& c : cases) {
    ServerOptions o = Linked();
    o.hotPlug.replugSerial = 4242;
    o.hotPlug.replugVersion = c.version;
    StartServer(o);
    OpenClient();
    EXPECT_EQ(Identity(), (std::pair<uint16_t, uint16_t>{123, 110}));
    ASSERT_TRUE(server_->Unplug());
    ASSERT_TRUE(server_->Replug());
    OpenClient();
    EXPECT_EQ(Identity(), c.after);
    client_.Close();
    server_->Stop();
  }
}

TEST_F(HotPlugTest, UnplugsAfterPagesAndComesBackByItselfWithTheSameMemory) {
  ServerOptions o = Linked();
  o.hotPlug.unplugAfterPages = 2;
  o.hotPlug.replugAfterMs = 1000;
  StartServer(o);
  OpenClient();
  ASSERT_EQ(Exchange(client_, PageRequest(0x00), 4096).size(), 4096u);
  ASSERT_EQ(Exchange(client_, PageRequest(0x10), 4096).size(), 4096u);
  ASSERT_TRUE(client_.Write(PageRequest(0x20)));  // the cable slips under this one
  ASSERT_TRUE(Eventually([&] { return !server_->Plugged(); }));
  EXPECT_FALSE(LinkExists());
  EXPECT_TRUE(client_.ReadUntilQuiet(50, 100).empty());
  client_.Close();
  ASSERT_TRUE(Eventually([&] { return server_->Plugged(); }));
  OpenClient();
  EXPECT_EQ(Exchange(client_, PageRequest(0x20), 4096), server_->Device().Page(0x20));
  ASSERT_EQ(Exchange(client_, PageRequest(0x30), 4096).size(), 4096u);  // once only
  server_->Stop();
  const std::string text = log_.str();
  EXPECT_NE(text.find("unplugged after 2 pages: "), std::string::npos) << text;
  EXPECT_NE(text.find("plugged back after 1000 ms: "), std::string::npos) << text;
}

TEST_F(HotPlugTest, UnplugsAfterATimeAndStaysOutUntilPluggedBack) {
  ServerOptions o = Linked();
  o.hotPlug.unplugAfterMs = 100;
  std::ostringstream notices;
  o.notices = &notices;
  StartServer(o);
  ASSERT_TRUE(Eventually([&] { return !server_->Plugged(); }));
  EXPECT_FALSE(LinkExists());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(server_->Plugged());
  ASSERT_TRUE(server_->Replug());
  OpenClient();
  EXPECT_EQ(Exchange(client_, MeasurementRequest(), 39).size(), 39u);
  server_->Stop();
  // One line each, on the notices as in the log.
  const std::string text = notices.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
  EXPECT_NE(text.find("unplugged after 100 ms: "), std::string::npos) << text;
  EXPECT_NE(text.find("plugged back on request: "), std::string::npos) << text;
}

TEST_F(HotPlugTest, WithoutALinkTheNewTerminalIsThePortName) {
  StartServer();
  const std::string first = server_->PortName();
  OpenClient();
  ASSERT_TRUE(server_->Unplug());
  ASSERT_TRUE(server_->Replug());
  EXPECT_EQ(server_->PortName(), server_->TerminalName());
  EXPECT_NE(server_->PortName(), first);  // the old one is still held by the client
  PtyClient again;
  ASSERT_TRUE(again.Open(server_->PortName()));
  EXPECT_EQ(Exchange(again, MeasurementRequest(), 39).size(), 39u);
}

TEST_F(HotPlugTest, UnplugCutsAReplyThatWasStillComing) {
  ServerOptions o = Linked();
  o.latencyMs = 2000;
  StartServer(o);
  OpenClient();
  ASSERT_TRUE(client_.Write(MeasurementRequest()));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(server_->Unplug());
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
  ASSERT_TRUE(server_->Replug());
  client_.Close();
  OpenClient();
  EXPECT_TRUE(client_.ReadUntilQuiet(50, 100).empty());  // nothing of the old request
}

TEST_F(HotPlugTest, APlugInThatChangesNothingLosesNoReply) {
  ServerOptions o = Linked();
  o.latencyMs = 300;
  StartServer(o);
  OpenClient();
  ASSERT_TRUE(client_.Write(MeasurementRequest()));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(server_->Replug());  // it is plugged in already
  const std::vector<uint8_t> reply = client_.ReadExactly(39, 2000);
  ASSERT_EQ(reply.size(), 39u);
  EXPECT_TRUE(ReplyCrcValid(reply));
}

TEST_F(PtyServerTest, LogShowsRequestsAndReplies) {
  ServerOptions o;
  std::ostringstream log;
  o.log = &log;
  StartServer(o);
  OpenClient();
  ASSERT_EQ(Exchange(client_, MeasurementRequest(), 39).size(), 39u);
  ASSERT_EQ(Exchange(client_, PageRequest(0), 4096).size(), 4096u);
  ASSERT_TRUE(client_.Write(testing::Hex("FF 01 04 00 00 00 11 30 07")));
  EXPECT_TRUE(client_.ReadUntilQuiet(50, 100).empty());
  server_->Stop();
  const std::string text = log.str();
  EXPECT_NE(text.find("rx 01 04 00 00 00 11 30 06  (measurement)"), std::string::npos) << text;
  EXPECT_NE(text.find("tx 01 04 22 "), std::string::npos) << text;
  EXPECT_NE(text.find("rx 01 04 00 00 00 FF B0 4A  (page)"), std::string::npos) << text;
  EXPECT_NE(text.find("tx 4096 page bytes: "), std::string::npos) << text;
  EXPECT_NE(text.find("dropped "), std::string::npos) << text;
}

TEST_F(PtyServerTest, StopEndsTheServerWhileAClientHoldsThePort) {
  StartServer();
  OpenClient();
  ASSERT_EQ(Exchange(client_, MeasurementRequest(), 39).size(), 39u);
  server_->Stop();
  EXPECT_FALSE(server_->Running());
  EXPECT_TRUE(client_.ReadUntilQuiet(20, 50).empty());
}

TEST_F(PtyServerTest, ServerUsesTheInjectedClock) {
  clock_.SetLocalTime(testing::Time(2026, 2, 3, 4, 5, 6));
  ServerOptions o;
  server_ = std::make_unique<SimServer>(o, &clock_);
  ASSERT_TRUE(server_->Start());
  OpenClient();
  clock_.Advance(2500);
  const std::vector<uint8_t> reply = Exchange(client_, MeasurementRequest(), 39);
  ASSERT_EQ(reply.size(), 39u);
  EXPECT_EQ(testing::Reg(reply, 11), 8500);
  EXPECT_EQ(testing::Reg(reply, 12), 0x0405);
  EXPECT_EQ(testing::Reg(reply, 13), 0x0203);
  EXPECT_EQ(testing::Reg(reply, 14), 26);
}

}  // namespace
}  // namespace zv::sim
