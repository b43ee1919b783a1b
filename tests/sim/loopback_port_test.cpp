// The simulated logger behind the in-process serial backend (zentrova-cli --simulate): it
// opens like a real port, one holder at a time, and answers what is written to it at once.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/crc16.h"
#include "platform/clock.h"
#include "sim/loopback_port.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Requests as they go over the wire, and the length of each reply.
struct Exchange {
  const char* what;
  Bytes request;
  std::size_t replyLength;
};

const Exchange kExchanges[] = {
    {"configuration", {0x01, 0x64, 0x00, 0x00, 0x00, 0x0A, 0xF0, 0x05}, 25},
    {"measurement", {0x01, 0x04, 0x00, 0x00, 0x00, 0x11, 0x30, 0x06}, 39},
    {"memory page 0", {0x01, 0x04, 0x00, 0x00, 0x00, 0xFF, 0xB0, 0x4A}, 4096},
};

Bytes Transact(zv::ISerialPort& port, const Bytes& request) {
  std::size_t written = 0;
  EXPECT_TRUE(port.Write(request.data(), request.size(), written).ok());
  EXPECT_EQ(written, request.size());
  zv::QueueStatus status;
  EXPECT_TRUE(port.QueryStatus(status).ok());
  Bytes reply(status.inQueue);
  std::size_t read = 0;
  EXPECT_TRUE(port.Read(reply.data(), reply.size(), read).ok());
  reply.resize(read);
  return reply;
}

TEST(LoopbackPort, AnswersEachRequestAtOnce) {
  auto backend = zv::sim::MakeLoopbackBackend(zv::sim::DeviceOptions{});
  std::unique_ptr<zv::ISerialPort> port;
  ASSERT_TRUE(backend->Open("SIM", port).ok());
  for (const Exchange& e : kExchanges) {
    const Bytes reply = Transact(*port, e.request);
    ASSERT_EQ(reply.size(), e.replyLength) << e.what;
    if (e.replyLength == 4096) continue;  // a page is raw memory, without a frame
    EXPECT_EQ(reply[0], 0x01) << e.what;
    EXPECT_EQ(reply[1], e.request[1]) << e.what;
    const uint16_t crc = zv::Crc16ModbusBytes(reply.data(), reply.size() - 2);
    EXPECT_EQ(reply[reply.size() - 2], crc & 0xFF) << e.what;
    EXPECT_EQ(reply[reply.size() - 1], crc >> 8) << e.what;
  }
}

TEST(LoopbackPort, ARequestInPiecesIsAnsweredWhenWhole) {
  auto backend = zv::sim::MakeLoopbackBackend(zv::sim::DeviceOptions{});
  std::unique_ptr<zv::ISerialPort> port;
  ASSERT_TRUE(backend->Open("SIM", port).ok());
  const Bytes& request = kExchanges[1].request;
  EXPECT_TRUE(Transact(*port, Bytes(request.begin(), request.begin() + 3)).empty());
  EXPECT_EQ(Transact(*port, Bytes(request.begin() + 3, request.end())).size(), 39u);
}

TEST(LoopbackPort, OpensLikeAPortOfThatNameOnly) {
  auto backend = zv::sim::MakeLoopbackBackend(zv::sim::DeviceOptions{}, "COM7");
  std::unique_ptr<zv::ISerialPort> first;
  std::unique_ptr<zv::ISerialPort> second;
  EXPECT_EQ(backend->Open("SIM", first).kind, zv::PortErrorKind::kNotFound);
  EXPECT_EQ(first, nullptr);
  ASSERT_TRUE(backend->Open("COM7", first).ok());
  EXPECT_EQ(backend->Open("COM7", second).kind, zv::PortErrorKind::kBusy);
  EXPECT_EQ(second, nullptr);

  // A reply nobody read is gone by the next open, as on a port that was closed.
  std::size_t written = 0;
  ASSERT_TRUE(first->Write(kExchanges[0].request.data(), kExchanges[0].request.size(), written).ok());
  first.reset();
  ASSERT_TRUE(backend->Open("COM7", second).ok());
  zv::QueueStatus status;
  ASSERT_TRUE(second->QueryStatus(status).ok());
  EXPECT_EQ(status.inQueue, 0u);
}

TEST(LoopbackPort, AWaitSeesTheReplyAtOnceAndSleepsOutSilence) {
  zv::VirtualClock clock;
  auto backend = zv::sim::MakeLoopbackBackend(zv::sim::DeviceOptions{}, "SIM", &clock);
  std::unique_ptr<zv::ISerialPort> port;
  ASSERT_TRUE(backend->Open("SIM", port).ok());
  const uint32_t start = clock.TickCount();
  uint32_t waiting = 0;
  ASSERT_TRUE(port->WaitForInput(0, 50, waiting).ok());
  EXPECT_EQ(waiting, 0u);
  EXPECT_EQ(clock.TickCount() - start, 50u) << "nothing asked, nothing comes";

  std::size_t written = 0;
  const Bytes& request = kExchanges[1].request;
  ASSERT_TRUE(port->Write(request.data(), request.size(), written).ok());
  ASSERT_TRUE(port->WaitForInput(0, 50, waiting).ok());
  EXPECT_EQ(waiting, kExchanges[1].replyLength);
  EXPECT_EQ(clock.TickCount() - start, 50u) << "the reply was already there";
}

TEST(LoopbackPort, ALoggerThatVanishesIsAHangUp) {
  zv::VirtualClock clock;
  zv::sim::DeviceOptions options;
  options.faults.vanishAfterPages = 1;
  auto backend = zv::sim::MakeLoopbackBackend(options, "SIM", &clock);
  std::unique_ptr<zv::ISerialPort> port;
  ASSERT_TRUE(backend->Open("SIM", port).ok());
  EXPECT_EQ(Transact(*port, kExchanges[2].request).size(), 4096u);
  std::size_t written = 0;
  ASSERT_TRUE(port->Write(kExchanges[2].request.data(), kExchanges[2].request.size(), written).ok());
  uint32_t waiting = 99;
  const uint32_t start = clock.TickCount();
  EXPECT_EQ(port->WaitForInput(0, 1000, waiting).kind, zv::PortErrorKind::kHangUp);
  EXPECT_EQ(waiting, 0u);
  EXPECT_EQ(clock.TickCount(), start) << "at once";
  zv::QueueStatus status;
  EXPECT_EQ(port->QueryStatus(status).kind, zv::PortErrorKind::kHangUp);
}

}  // namespace
