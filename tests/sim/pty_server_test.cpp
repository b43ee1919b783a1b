// The simulated logger over a real pseudo-terminal, opened the way the program opens a port.
#include "sim/pty_server.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
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
