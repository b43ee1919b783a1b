#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/scripted_port.h"

namespace zv {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Sequence(std::size_t count, uint8_t first) {
  Bytes b(count);
  for (std::size_t i = 0; i < count; ++i) b[i] = static_cast<uint8_t>(first + i);
  return b;
}

class ScriptedPortTest : public ::testing::Test {
 protected:
  void SetUp() override { device_ = backend_.AddDevice("COM3"); }

  std::unique_ptr<ISerialPort> Open() {
    std::unique_ptr<ISerialPort> port;
    const PortError error = backend_.Open("COM3", port);
    EXPECT_TRUE(error.ok()) << error.message;
    return port;
  }

  static uint32_t Poll(ISerialPort& port) {
    QueueStatus status;
    EXPECT_TRUE(port.QueryStatus(status).ok());
    return status.inQueue;
  }

  static Bytes ReadAll(ISerialPort& port, std::size_t max = 4096) {
    Bytes b(max);
    std::size_t read = 0;
    EXPECT_TRUE(port.Read(b.data(), b.size(), read).ok());
    b.resize(read);
    return b;
  }

  static void Send(ISerialPort& port, const Bytes& frame) {
    std::size_t written = 0;
    EXPECT_TRUE(port.Write(frame.data(), frame.size(), written).ok());
    EXPECT_EQ(written, frame.size());
  }

  ScriptedSerialBackend backend_;
  std::shared_ptr<ScriptedDevice> device_;
};

TEST_F(ScriptedPortTest, ReplyArrivesPollByPollOnItsSchedule) {
  const Bytes reply = Sequence(39, 0x40);
  device_->QueueReply({reply, {10, 25, 39, 39}});
  auto port = Open();
  ASSERT_TRUE(port);

  const Bytes request = {0x01, 0x04, 0x00, 0x00, 0x00, 0x0A, 0x70, 0x0D};
  Send(*port, request);
  EXPECT_EQ(device_->Written(), std::vector<Bytes>{request});
  EXPECT_EQ(device_->PollCount(), 0);

  std::vector<uint32_t> seen;
  for (int i = 0; i < 4; ++i) seen.push_back(Poll(*port));
  EXPECT_EQ(seen, (std::vector<uint32_t>{10, 25, 39, 39}));
  EXPECT_EQ(device_->PollCount(), 4);
  EXPECT_EQ(ReadAll(*port), reply);
  EXPECT_EQ(Poll(*port), 0u);
  EXPECT_EQ(device_->PollCount(), 5);
}

TEST_F(ScriptedPortTest, ArrivalTableEdges) {
  struct Case {
    const char* what;
    std::vector<std::size_t> arrival;
    std::vector<uint32_t> polls;  // bytes waiting at each poll, nothing read
  };
  const Case cases[] = {
      {"empty list: all at the first poll", {}, {20, 20}},
      {"past the end of the list: all", {5}, {5, 20, 20}},
      {"silence before the first byte", {0, 0, 7}, {0, 0, 7, 20}},
      {"more than the reply holds: the reply", {50}, {20, 20}},
      {"a smaller count later does not take bytes back", {12, 3}, {12, 12, 20}},
  };
  for (const Case& c : cases) {
    ScriptedSerialBackend backend;
    auto device = backend.AddDevice("COM9");
    device->QueueReply({Sequence(20, 0), c.arrival});
    std::unique_ptr<ISerialPort> port;
    ASSERT_TRUE(backend.Open("COM9", port).ok());
    ASSERT_TRUE(port);
    Send(*port, {0x01});
    std::vector<uint32_t> seen;
    for (std::size_t i = 0; i < c.polls.size(); ++i) seen.push_back(Poll(*port));
    EXPECT_EQ(seen, c.polls) << c.what;
  }
}

TEST_F(ScriptedPortTest, ReadsTakeOnlyArrivedBytesInOrder) {
  const Bytes reply = Sequence(39, 0);
  device_->QueueReply({reply, {10, 25, 39}});
  auto port = Open();
  ASSERT_TRUE(port);
  Send(*port, {0x01, 0x04});

  EXPECT_EQ(ReadAll(*port, 1), Bytes{}) << "nothing has arrived before the first poll";

  EXPECT_EQ(Poll(*port), 10u);
  Bytes got = ReadAll(*port, 4);
  EXPECT_EQ(Poll(*port), 21u);  // 25 arrived, 4 read
  const Bytes more = ReadAll(*port);
  EXPECT_EQ(more.size(), 21u);
  got.insert(got.end(), more.begin(), more.end());
  EXPECT_EQ(Poll(*port), 14u);
  const Bytes rest = ReadAll(*port);
  got.insert(got.end(), rest.begin(), rest.end());
  EXPECT_EQ(got, reply);
}

TEST_F(ScriptedPortTest, ResponderAnswersEachFrameOrStaysSilent) {
  device_->SetResponder([](const Bytes& request) {
    ScriptedReply r;
    if (request.size() > 1 && request[1] == 0x04) r.bytes = {request[0], 0x04, 0x02, 0x12, 0x34};
    return r;  // anything else: no answer
  });
  auto port = Open();
  ASSERT_TRUE(port);

  Send(*port, {0x07, 0x04});
  EXPECT_EQ(Poll(*port), 5u);
  EXPECT_EQ(ReadAll(*port), (Bytes{0x07, 0x04, 0x02, 0x12, 0x34}));

  Send(*port, {0x01, 0x99});
  EXPECT_EQ(Poll(*port), 0u);
  EXPECT_EQ(Poll(*port), 0u);

  EXPECT_EQ(device_->Written(), (std::vector<Bytes>{{0x07, 0x04}, {0x01, 0x99}}));
}

TEST_F(ScriptedPortTest, QueuedRepliesGoFirstInOrderThenResponderThenSilence) {
  device_->QueueReply({{0xA1}, {}});
  device_->QueueReply({{0xA2, 0xA2}, {}});
  auto port = Open();
  ASSERT_TRUE(port);

  Send(*port, {0x01});
  EXPECT_EQ(Poll(*port), 1u);
  EXPECT_EQ(ReadAll(*port), Bytes{0xA1});

  // Set after queueing: the queue still wins while it lasts.
  device_->SetResponder([](const Bytes&) { return ScriptedReply{{0xB0, 0xB1, 0xB2}, {}}; });
  Send(*port, {0x02});
  EXPECT_EQ(Poll(*port), 2u);
  EXPECT_EQ(ReadAll(*port), (Bytes{0xA2, 0xA2}));

  Send(*port, {0x03});
  EXPECT_EQ(Poll(*port), 3u);
  EXPECT_EQ(ReadAll(*port), (Bytes{0xB0, 0xB1, 0xB2}));

  device_->SetResponder(nullptr);
  Send(*port, {0x04});
  EXPECT_EQ(Poll(*port), 0u);
  EXPECT_EQ(device_->Written().size(), 4u);
}

TEST_F(ScriptedPortTest, UnreadBytesOfAnEarlierReplyWaitAheadOfTheNewOne) {
  device_->QueueReply({{0x11, 0x12, 0x13, 0x14, 0x15}, {}});
  device_->QueueReply({{0x21, 0x22, 0x23}, {0, 3}});
  auto port = Open();
  ASSERT_TRUE(port);

  Send(*port, {0x01});
  EXPECT_EQ(Poll(*port), 5u);
  EXPECT_EQ(ReadAll(*port, 2), (Bytes{0x11, 0x12}));

  Send(*port, {0x02});
  EXPECT_EQ(Poll(*port), 3u) << "the left-over is there at once";
  EXPECT_EQ(Poll(*port), 6u);
  EXPECT_EQ(ReadAll(*port), (Bytes{0x13, 0x14, 0x15, 0x21, 0x22, 0x23}));
}

TEST_F(ScriptedPortTest, AReplyStillArrivingWhenTheNextFrameIsWrittenArrivesWhole) {
  device_->QueueReply({Sequence(8, 0x10), {2}});
  device_->QueueReply({{0xEE}, {}});
  auto port = Open();
  ASSERT_TRUE(port);

  Send(*port, {0x01});
  EXPECT_EQ(Poll(*port), 2u);
  Send(*port, {0x02});  // the program gave up on the first reply without reading
  EXPECT_EQ(Poll(*port), 9u);
  Bytes expected = Sequence(8, 0x10);
  expected.push_back(0xEE);
  EXPECT_EQ(ReadAll(*port), expected);
}

TEST_F(ScriptedPortTest, ReopeningStartsWithAnEmptyInputQueue) {
  device_->QueueReply({{0x01, 0x02, 0x03}, {}});
  auto port = Open();
  ASSERT_TRUE(port);
  Send(*port, {0x01});
  EXPECT_EQ(Poll(*port), 3u);
  port.reset();

  port = Open();
  ASSERT_TRUE(port);
  EXPECT_EQ(Poll(*port), 0u);
  EXPECT_EQ(ReadAll(*port), Bytes{});
}

TEST_F(ScriptedPortTest, SettingsAreRecordedAndReadBack) {
  auto port = Open();
  ASSERT_TRUE(port);
  LineSettings s;
  s.baudRate = 921600;
  s.byteSize = 8;
  s.dtrControl = LineControl::kEnable;
  s.rtsControl = LineControl::kEnable;
  s.parity = Parity::kEven;
  ASSERT_TRUE(port->SetSettings(s).ok());

  const LineSettings recorded = device_->Settings();
  EXPECT_EQ(recorded.baudRate, 921600u);
  EXPECT_EQ(recorded.parity, Parity::kEven);
  EXPECT_EQ(recorded.dtrControl, LineControl::kEnable);
  EXPECT_EQ(recorded.rtsControl, LineControl::kEnable);
  LineSettings got;
  ASSERT_TRUE(port->GetSettings(got).ok());
  EXPECT_EQ(got.baudRate, 921600u);
  EXPECT_EQ(got.parity, Parity::kEven);
}

TEST_F(ScriptedPortTest, SecondOpenIsBusyUntilTheFirstCloses) {
  auto first = Open();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->Name(), "COM3");
  EXPECT_TRUE(device_->IsOpen());

  std::unique_ptr<ISerialPort> second;
  PortError error = backend_.Open("COM3", second);
  EXPECT_FALSE(second);
  EXPECT_EQ(error.kind, PortErrorKind::kBusy);
  EXPECT_NE(error.message.find("COM3"), std::string::npos) << error.message;
  EXPECT_TRUE(device_->IsOpen()) << "the refused open must not close the first";

  first.reset();
  EXPECT_FALSE(device_->IsOpen());
  std::unique_ptr<ISerialPort> again;
  error = backend_.Open("COM3", again);
  EXPECT_TRUE(again);
  EXPECT_TRUE(error.ok());
  EXPECT_EQ(device_->OpenCount(), 2);
}

TEST_F(ScriptedPortTest, FailOpenReturnsThatErrorUntilLifted) {
  PortError denied;
  denied.kind = PortErrorKind::kPermissionDenied;
  denied.code = EACCES;
  denied.message = "open COM3: Permission denied";
  device_->FailOpen(denied);

  std::unique_ptr<ISerialPort> port;
  PortError error = backend_.Open("COM3", port);
  EXPECT_FALSE(port);
  EXPECT_EQ(error.kind, denied.kind);
  EXPECT_EQ(error.code, denied.code);
  EXPECT_EQ(error.message, denied.message);
  EXPECT_FALSE(device_->IsOpen());
  EXPECT_EQ(device_->OpenCount(), 0);

  device_->FailOpen(PortError{});
  EXPECT_TRUE(backend_.Open("COM3", port).ok());
  EXPECT_TRUE(port);
  EXPECT_EQ(device_->OpenCount(), 1);
}

TEST_F(ScriptedPortTest, UnknownNameIsNotFoundAndLeavesNoPort) {
  // A port already in the out-parameter is dropped: after a failed open it is null.
  std::unique_ptr<ISerialPort> port = Open();
  ASSERT_TRUE(port);
  PortError error = backend_.Open("COM4", port);
  EXPECT_FALSE(port);
  EXPECT_FALSE(device_->IsOpen());
  EXPECT_EQ(error.kind, PortErrorKind::kNotFound);
  EXPECT_EQ(error.message, "open COM4: no such port");
  EXPECT_EQ(backend_.Device("COM4"), nullptr);
  error = backend_.Open("com3", port);
  EXPECT_EQ(error.kind, PortErrorKind::kNotFound) << "names are used verbatim";
  EXPECT_EQ(backend_.AddDevice("COM3"), device_) << "one device per name";
}

TEST_F(ScriptedPortTest, ExchangesFromAWorkerThreadWhileTheTestWatches) {
  device_->SetResponder([](const Bytes& request) {
    return ScriptedReply{{request[0], 0x04, 0xAB}, {1, 3}};
  });
  constexpr int kExchanges = 300;
  std::atomic<int> good{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < kExchanges; ++i) {
      auto port = Open();
      if (!port) break;
      const Bytes request = {static_cast<uint8_t>(i), 0x04};
      Send(*port, request);
      uint32_t previous = 0;
      for (int polls = 0; polls < 10; ++polls) {
        const uint32_t waiting = Poll(*port);
        if (waiting != 0 && waiting == previous) {
          if (ReadAll(*port) == Bytes{static_cast<uint8_t>(i), 0x04, 0xAB}) ++good;
          break;
        }
        previous = waiting;
      }
    }
    done = true;
  });
  std::size_t lastSeen = 0;
  while (!done.load()) {
    const std::size_t n = device_->Written().size();
    EXPECT_GE(n, lastSeen);
    lastSeen = n;
    (void)device_->PollCount();
    (void)device_->IsOpen();
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_EQ(good.load(), kExchanges);
  EXPECT_EQ(device_->Written().size(), static_cast<std::size_t>(kExchanges));
  EXPECT_EQ(device_->OpenCount(), kExchanges);
}

// The waits of the program expressed on WaitForInput, in virtual time: the scripted port
// sleeps on the test's clock, so every end time below is exact.
class ScriptedWaitTest : public ::testing::Test {
 protected:
  // A reply in the manner of the request/reply exchange: the first byte within silentMs, then
  // the count unchanged over one interval ends it.
  struct Outcome {
    PortErrorKind kind = PortErrorKind::kNone;
    std::size_t bytes = 0;  // waiting at the end (reply) or read (page)
    uint32_t endMs = 0;     // virtual time from the write to the end of the wait
  };

  static constexpr uint32_t kIntervalMs = 5;
  static constexpr uint32_t kSilentMs = 100;
  static constexpr uint32_t kIdleMs = 1000;
  static constexpr std::size_t kPage = 4096;

  void SetUp() override { device_ = backend_.AddDevice("COM3"); }

  std::unique_ptr<ISerialPort> Start(ScriptedReply reply) {
    std::unique_ptr<ISerialPort> port;
    EXPECT_TRUE(backend_.Open("COM3", port).ok());
    if (!port) return port;
    device_->QueueReply(std::move(reply));
    std::size_t written = 0;
    const uint8_t request[] = {0x01, 0x04};
    EXPECT_TRUE(port->Write(request, sizeof request, written).ok());
    start_ = clock_.TickCount();
    return port;
  }

  Outcome ReplyWait(ISerialPort& port) {
    uint32_t count = 0;
    PortError e = port.WaitForInput(0, kSilentMs, count);
    while (e.ok() && count > 0) {
      uint32_t now = 0;
      e = port.WaitForInput(count, kIntervalMs, now);
      if (now == count) break;
      count = now;
    }
    return {e.kind, count, clock_.TickCount() - start_};
  }

  // A page in the manner of the download: read as it comes, done at its size, given up after
  // the idle limit without a byte.
  Outcome PageWait(ISerialPort& port) {
    std::vector<uint8_t> page(kPage);
    std::size_t have = 0;
    PortError e;
    while (have < kPage) {
      uint32_t waiting = 0;
      e = port.WaitForInput(0, kIdleMs, waiting);
      if (!e.ok() || waiting == 0) break;
      std::size_t got = 0;
      e = port.Read(page.data() + have, std::min<std::size_t>(waiting, kPage - have), got);
      if (!e.ok()) break;
      have += got;
    }
    return {e.kind, have, clock_.TickCount() - start_};
  }

  VirtualClock clock_;
  ScriptedSerialBackend backend_{&clock_};
  std::shared_ptr<ScriptedDevice> device_;
  uint32_t start_ = 0;
};

struct WaitCase {
  const char* what;
  ScriptedReply reply;
  std::size_t bytes;
  uint32_t endMs;
};

TEST_F(ScriptedWaitTest, ReplyEndsOnceTheCountHoldsForOneInterval) {
  const WaitCase cases[] = {
      {"in pieces", {Sequence(39, 0), {}, {{2, 10}, {7, 25}, {9, 39}}}, 39, 9 + kIntervalMs},
      {"a pause of exactly one interval", {Sequence(39, 0), {}, {{2, 10}, {2 + kIntervalMs, 39}}}, 39,
       2 + 2 * kIntervalMs},
      {"a pause longer than an interval cuts it", {Sequence(39, 0), {}, {{2, 10}, {3 + kIntervalMs, 39}}}, 10,
       2 + kIntervalMs},
      {"paced by polls: each look brings the next piece", {Sequence(39, 0), {10, 25, 39}, {}}, 39, kIntervalMs},
      {"silent port", {{}, {}, {}}, 0, kSilentMs},
      {"first byte on the last millisecond", {Sequence(3, 0), {}, {{kSilentMs, 3}}}, 3, kSilentMs + kIntervalMs},
  };
  for (const WaitCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto port = Start(c.reply);
    ASSERT_TRUE(port);
    const Outcome got = ReplyWait(*port);
    EXPECT_EQ(got.kind, PortErrorKind::kNone);
    EXPECT_EQ(got.bytes, c.bytes);
    EXPECT_EQ(got.endMs, c.endMs);
  }
}

TEST_F(ScriptedWaitTest, PageEndsAtItsSizeOrAfterTheIdleLimit) {
  const WaitCase cases[] = {
      {"whole at once", {Sequence(kPage, 0), {}, {{1, kPage}}}, kPage, 1},
      {"tail late by 16 ms", {Sequence(kPage, 0), {}, {{2, 2048}, {4, 4000}, {20, kPage}}}, kPage, 20},
      {"tail later than the idle limit", {Sequence(kPage, 0), {}, {{2, 4000}, {3 + kIdleMs, kPage}}}, 4000,
       2 + kIdleMs},
      {"silent port", {{}, {}, {}}, 0, kIdleMs},
  };
  for (const WaitCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto port = Start(c.reply);
    ASSERT_TRUE(port);
    const Outcome got = PageWait(*port);
    EXPECT_EQ(got.kind, PortErrorKind::kNone);
    EXPECT_EQ(got.bytes, c.bytes);
    EXPECT_EQ(got.endMs, c.endMs);
  }
}

TEST_F(ScriptedWaitTest, WaitingBeyondACountIgnoresTheBytesAlreadyThere) {
  auto port = Start({Sequence(20, 0), {}, {{0, 8}, {30, 20}}});
  ASSERT_TRUE(port);
  uint32_t waiting = 0;
  ASSERT_TRUE(port->WaitForInput(7, 50, waiting).ok());
  EXPECT_EQ(waiting, 8u) << "already more than 7: no time spent";
  EXPECT_EQ(clock_.TickCount() - start_, 0u);
  ASSERT_TRUE(port->WaitForInput(8, 50, waiting).ok());
  EXPECT_EQ(waiting, 20u);
  EXPECT_EQ(clock_.TickCount() - start_, 30u);
  ASSERT_TRUE(port->WaitForInput(20, 0, waiting).ok());
  EXPECT_EQ(waiting, 20u) << "a zero timeout only looks";
  EXPECT_EQ(clock_.TickCount() - start_, 30u);
}

TEST_F(ScriptedWaitTest, AHangUpEndsTheWaitWhenItHappens) {
  for (const uint32_t afterMs : {0u, 30u}) {
    SCOPED_TRACE(afterMs);
    device_->PlugIn();
    auto port = Start({Sequence(4, 0), {}, {{500, 4}}});
    ASSERT_TRUE(port);
    device_->HangUp(afterMs);
    uint32_t waiting = 99;
    const PortError e = port->WaitForInput(0, 2000, waiting);
    EXPECT_EQ(e.kind, PortErrorKind::kHangUp) << e.message;
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(clock_.TickCount() - start_, afterMs);
    EXPECT_NE(e.message.find("COM3"), std::string::npos) << e.message;
  }
}

TEST_F(ScriptedWaitTest, AHungUpPortStaysDeadAndTheNameComesBackOnPlugIn) {
  auto old = Start({Sequence(4, 0), {}, {}});
  ASSERT_TRUE(old);
  device_->HangUp();

  QueueStatus status;
  EXPECT_EQ(old->QueryStatus(status).kind, PortErrorKind::kHangUp);
  uint8_t buffer[8];
  std::size_t n = 99;
  EXPECT_EQ(old->Read(buffer, sizeof buffer, n).kind, PortErrorKind::kHangUp);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(old->Write(buffer, 2, n).kind, PortErrorKind::kHangUp);
  EXPECT_EQ(n, 0u);
  LineSettings settings;
  EXPECT_EQ(old->GetSettings(settings).kind, PortErrorKind::kHangUp);
  EXPECT_EQ(old->SetSettings(settings).kind, PortErrorKind::kHangUp);
  EXPECT_EQ(device_->Written().size(), 1u) << "nothing reaches a device that is gone";

  std::unique_ptr<ISerialPort> again;
  EXPECT_EQ(backend_.Open("COM3", again).kind, PortErrorKind::kNotFound);
  EXPECT_FALSE(again);

  device_->PlugIn();
  ASSERT_TRUE(backend_.Open("COM3", again).ok()) << "the old handle does not hold the port";
  EXPECT_EQ(old->QueryStatus(status).kind, PortErrorKind::kHangUp) << "the old handle stays dead";
  old.reset();
  EXPECT_TRUE(device_->IsOpen()) << "closing the dead handle leaves the new open alone";
  ASSERT_TRUE(again->QueryStatus(status).ok());
  EXPECT_EQ(status.inQueue, 0u) << "a fresh open starts empty";
}

}  // namespace
}  // namespace zv
