// The POSIX backend against a pseudo-terminal pair: the test holds the master side and plays
// the device, the backend opens the slave side by its name.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/serial_port.h"
#include "refused_line_settings.h"

namespace zv {
namespace {

using Bytes = std::vector<uint8_t>;

// Upper bound for waiting on bytes that cross the pseudo-terminal; only reached when a test
// is failing, so it guards against a hang rather than measuring anything.
constexpr auto kPatience = std::chrono::seconds(5);

class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return;
    char name[128] = {};
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
      ::close(master_);
      master_ = -1;
      return;
    }
    slaveName_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0; }
  int master() const { return master_; }
  const std::string& slaveName() const { return slaveName_; }

  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  // Plays the device sending bytes to the program.
  void Send(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
        ADD_FAILURE() << "write to master failed, errno " << errno;
        return;
      } else {
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 100);
      }
    }
  }

  // What the program wrote and is already waiting at the master, without waiting for more.
  Bytes Drain() {
    Bytes got;
    uint8_t buffer[4096];
    ssize_t n;
    while ((n = ::read(master_, buffer, sizeof buffer)) > 0) got.insert(got.end(), buffer, buffer + n);
    return got;
  }

  // What the program wrote: reads until count bytes came or the patience runs out.
  Bytes Receive(std::size_t count) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      uint8_t buffer[4096];
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n > 0) got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

 private:
  int master_ = -1;
  std::string slaveName_;
};

LineSettings Line921600() {
  LineSettings s;
  s.baudRate = 921600;
  s.byteSize = 8;
  s.parity = Parity::kNone;
  s.stopBits = StopBits::kOne;
  s.binary = true;
  s.dtrControl = LineControl::kEnable;
  s.rtsControl = LineControl::kEnable;
  return s;
}

// Every byte a cooked terminal would act on: NUL, ^C, ^D, LF, CR, XON, XOFF, DEL, 0xFF.
Bytes AwkwardBytes(std::size_t count) {
  const uint8_t special[] = {0x00, 0x03, 0x04, 0x0A, 0x0D, 0x11, 0x13, 0x1A, 0x7F, 0xFF};
  Bytes b;
  for (std::size_t i = 0; i < count; ++i) {
    b.push_back(i % 2 == 0 ? special[(i / 2) % std::size(special)] : static_cast<uint8_t>(i * 7));
  }
  return b;
}

// Polls the port, as the program does, until at least expected bytes wait.
QueueStatus WaitForInQueue(ISerialPort& port, uint32_t expected) {
  QueueStatus status;
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  do {
    EXPECT_TRUE(port.QueryStatus(status).ok());
    if (status.inQueue >= expected) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  } while (std::chrono::steady_clock::now() < deadline);
  return status;
}

// The count a Read takes; the outcome must be ok.
std::size_t ReadOk(ISerialPort& port, uint8_t* data, std::size_t size) {
  std::size_t read = 0;
  const PortError e = port.Read(data, size, read);
  EXPECT_TRUE(e.ok()) << e.message;
  return read;
}

// The count a Write takes; the outcome must be ok.
std::size_t WriteOk(ISerialPort& port, const Bytes& bytes) {
  std::size_t written = 0;
  const PortError e = port.Write(bytes.data(), bytes.size(), written);
  EXPECT_TRUE(e.ok()) << e.message;
  return written;
}

int OpenFdCount() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir) != nullptr) ++count;
    ::closedir(dir);
  }
  return count;
}

class PosixSerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok()) << "no pseudo-terminal available, errno " << errno;
  }

  std::unique_ptr<ISerialPort> OpenPort() {
    std::unique_ptr<ISerialPort> port;
    const PortError error = backend_->Open(pty_.slaveName(), port);
    EXPECT_TRUE(error.ok()) << error.message;
    return port;
  }

  std::unique_ptr<ISerialPort> OpenRaw() {
    auto port = OpenPort();
    if (port) {
      const PortError e = port->SetSettings(Line921600());
      EXPECT_TRUE(e.ok()) << e.message;
    }
    return port;
  }

  PtyPair pty_;
  std::unique_ptr<ISerialBackend> backend_ = MakePosixSerialBackend();
};

TEST_F(PosixSerialTest, SettingsBecomeRaw8N1At921600) {
  auto port = OpenPort();
  ASSERT_TRUE(port);
  EXPECT_EQ(port->Name(), pty_.slaveName());

  LineSettings before;
  ASSERT_TRUE(port->GetSettings(before).ok());
  EXPECT_FALSE(before.binary) << "a fresh pseudo-terminal edits lines";

  const PortError set = port->SetSettings(Line921600());
  ASSERT_TRUE(set.ok()) << set.message;

  LineSettings got;
  ASSERT_TRUE(port->GetSettings(got).ok());
  EXPECT_EQ(got.baudRate, 921600u);
  EXPECT_EQ(got.byteSize, 8);
  EXPECT_EQ(got.parity, Parity::kNone);
  EXPECT_EQ(got.stopBits, StopBits::kOne);
  EXPECT_TRUE(got.binary);

  // The master side reports the terminal's settings as the kernel holds them.
  termios tio{};
  ASSERT_EQ(::tcgetattr(pty_.master(), &tio), 0);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B921600));
  EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B921600));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
  EXPECT_NE(tio.c_cflag & CREAD, 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(tio.c_cc[VMIN], 0);
  EXPECT_EQ(tio.c_cc[VTIME], 0);
}

TEST_F(PosixSerialTest, StandardBaudRatesRoundTrip) {
  auto port = OpenPort();
  ASSERT_TRUE(port);
  for (const uint32_t rate : {9600u, 19200u, 38400u, 57600u, 115200u, 230400u, 460800u, 921600u}) {
    LineSettings s = Line921600();
    s.baudRate = rate;
    const PortError e = port->SetSettings(s);
    EXPECT_TRUE(e.ok()) << rate << ": " << e.message;
    LineSettings got;
    ASSERT_TRUE(port->GetSettings(got).ok());
    EXPECT_EQ(got.baudRate, rate);
  }
}

// A pseudo-terminal holds only 8-bit characters without parity (the translation itself is
// checked against termios records in termios_settings_test). Whatever the port does, a
// format is either taken and read back, or refused with the line left as it was.
TEST_F(PosixSerialTest, EveryFormatIsTakenWholeOrRefusedWhole) {
  struct Format {
    uint8_t byteSize;
    Parity parity;
    StopBits stopBits;
    bool ptyTakesIt;
  };
  const Format formats[] = {
      {8, Parity::kNone, StopBits::kOne, true},   {8, Parity::kNone, StopBits::kTwo, true},
      {7, Parity::kEven, StopBits::kOne, false},  {7, Parity::kOdd, StopBits::kTwo, false},
      {8, Parity::kEven, StopBits::kOne, false},  {8, Parity::kMark, StopBits::kOne, false},
      {8, Parity::kSpace, StopBits::kTwo, false}, {6, Parity::kNone, StopBits::kOne, false},
      {5, Parity::kNone, StopBits::kOnePointFive, false},
  };
  auto port = OpenRaw();
  ASSERT_TRUE(port);
  for (const Format& f : formats) {
    const std::string what = std::to_string(f.byteSize) + "/" +
                             std::to_string(static_cast<int>(f.parity)) + "/" +
                             std::to_string(static_cast<int>(f.stopBits));
    LineSettings before;
    ASSERT_TRUE(port->GetSettings(before).ok());
    LineSettings s = Line921600();
    s.baudRate = 115200;
    s.byteSize = f.byteSize;
    s.parity = f.parity;
    s.stopBits = f.stopBits;
    const PortError e = port->SetSettings(s);
    LineSettings got;
    ASSERT_TRUE(port->GetSettings(got).ok());
    if (e.ok()) {
      EXPECT_EQ(got.baudRate, 115200u) << what;
      EXPECT_EQ(got.byteSize, f.byteSize) << what;
      EXPECT_EQ(got.parity, f.parity) << what;
      EXPECT_EQ(got.stopBits, f.stopBits) << what;
      EXPECT_TRUE(got.binary) << what;
    } else {
      EXPECT_FALSE(f.ptyTakesIt) << what << ": " << e.message;
      EXPECT_EQ(e.kind, PortErrorKind::kInvalidArgument) << what << ": " << e.message;
      EXPECT_NE(e.message.find(pty_.slaveName()), std::string::npos) << e.message;
      EXPECT_EQ(got.baudRate, before.baudRate) << what;
      EXPECT_EQ(got.byteSize, before.byteSize) << what;
      EXPECT_EQ(got.parity, before.parity) << what;
      EXPECT_EQ(got.stopBits, before.stopBits) << what;
    }
  }
}

TEST_F(PosixSerialTest, RefusedSettingsLeaveTheLineAsItWas) {
  auto port = OpenRaw();
  ASSERT_TRUE(port);
  LineSettings before;
  ASSERT_TRUE(port->GetSettings(before).ok());

  for (const auto& c : zv::testing::kRefusedLines) {
    const LineSettings s = c.Applied(Line921600());
    const PortError e = port->SetSettings(s);
    EXPECT_EQ(e.kind, PortErrorKind::kInvalidArgument) << c.what;
    EXPECT_NE(e.message.find(pty_.slaveName()), std::string::npos) << e.message;
    LineSettings after;
    ASSERT_TRUE(port->GetSettings(after).ok());
    EXPECT_EQ(after.baudRate, before.baudRate) << c.what;
    EXPECT_EQ(after.byteSize, before.byteSize) << c.what;
    EXPECT_EQ(after.stopBits, before.stopBits) << c.what;
  }
}

TEST_F(PosixSerialTest, DtrAndRtsOnAPseudoTerminalAreNotAnError) {
  auto port = OpenPort();
  ASSERT_TRUE(port);
  for (const LineControl control : {LineControl::kEnable, LineControl::kDisable, LineControl::kEnable}) {
    LineSettings s = Line921600();
    s.dtrControl = control;
    s.rtsControl = control;
    const PortError e = port->SetSettings(s);
    EXPECT_TRUE(e.ok()) << e.message;
    LineSettings got;
    ASSERT_TRUE(port->GetSettings(got).ok());
    EXPECT_EQ(got.dtrControl, control);
    EXPECT_EQ(got.rtsControl, control);
  }
}

TEST_F(PosixSerialTest, BytesFromTheDeviceAreCountedThenRead) {
  auto port = OpenRaw();
  ASSERT_TRUE(port);

  QueueStatus status;
  ASSERT_TRUE(port->QueryStatus(status).ok());
  EXPECT_EQ(status.inQueue, 0u);

  const Bytes reply = AwkwardBytes(39);
  pty_.Send(reply);
  status = WaitForInQueue(*port, 39);
  ASSERT_EQ(status.inQueue, 39u);

  // A read takes at most what it is asked for, and the rest stays counted.
  Bytes got(64, 0xEE);
  ASSERT_EQ(ReadOk(*port, got.data(), 10), 10u);
  ASSERT_TRUE(port->QueryStatus(status).ok());
  EXPECT_EQ(status.inQueue, 29u);
  ASSERT_EQ(ReadOk(*port, got.data() + 10, got.size() - 10), 29u);
  got.resize(39);
  EXPECT_EQ(got, reply);

  // Nothing waiting: a read returns at once with nothing, and that is not an error.
  uint8_t byte = 0;
  std::size_t read = 99;
  const PortError error = port->Read(&byte, 1, read);
  EXPECT_TRUE(error.ok()) << error.message;
  EXPECT_EQ(read, 0u);
  ASSERT_TRUE(port->QueryStatus(status).ok());
  EXPECT_EQ(status.inQueue, 0u);
}

// A memory page is 4096 bytes, more than a pseudo-terminal's own input buffer holds: every
// byte received must still be counted as waiting, or a page would be cut short.
TEST_F(PosixSerialTest, RepliesLargerThanTheTerminalBufferAreCountedWhole) {
  auto port = OpenRaw();
  ASSERT_TRUE(port);
  const Bytes reply = AwkwardBytes(10000);
  std::thread device([&] { pty_.Send(reply); });
  const QueueStatus status = WaitForInQueue(*port, 10000);
  device.join();
  ASSERT_EQ(status.inQueue, 10000u);
  Bytes got(10000);
  ASSERT_EQ(ReadOk(*port, got.data(), got.size()), 10000u);
  EXPECT_EQ(got, reply);
}

// The port is opened afresh for every exchange: what the device sent while it was closed (a
// late answer to an exchange already given up) must not open the next reply.
TEST_F(PosixSerialTest, BytesSentWhileThePortWasClosedAreNotReceived) {
  {
    auto first = OpenRaw();
    ASSERT_TRUE(first);
  }
  pty_.Send(AwkwardBytes(25));
  auto port = OpenRaw();
  ASSERT_TRUE(port);
  QueueStatus status;
  ASSERT_TRUE(port->QueryStatus(status).ok());
  EXPECT_EQ(status.inQueue, 0u);
  pty_.Send(AwkwardBytes(8));
  EXPECT_EQ(WaitForInQueue(*port, 8).inQueue, 8u);
}

TEST_F(PosixSerialTest, WrittenBytesReachTheDeviceUnchanged) {
  auto port = OpenRaw();
  ASSERT_TRUE(port);

  const Bytes frame = {0x01, 0x64, 0x00, 0x0A, 0x0D, 0x0A, 0xF0, 0x05};
  EXPECT_EQ(WriteOk(*port, frame), frame.size());
  EXPECT_EQ(pty_.Receive(frame.size()), frame);

  // A page-sized burst goes through whole as well.
  const Bytes burst = AwkwardBytes(3000);
  EXPECT_EQ(WriteOk(*port, burst), burst.size());
  EXPECT_EQ(pty_.Receive(burst.size()), burst);

  // A raw line echoes nothing back to the device (a terminal echoes as it takes input in).
  pty_.Send(frame);
  ASSERT_EQ(WaitForInQueue(*port, frame.size()).inQueue, frame.size());
  EXPECT_EQ(pty_.Drain(), Bytes{});
}

TEST_F(PosixSerialTest, WriteAfterTheDeviceHungUpReportsAnError) {
  auto port = OpenRaw();
  ASSERT_TRUE(port);
  pty_.CloseMaster();
  const Bytes frame = {0x01, 0x04, 0x00, 0x00};
  std::size_t written = 99;
  const PortError error = port->Write(frame.data(), frame.size(), written);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(error.kind, PortErrorKind::kHangUp) << error.message;
  EXPECT_NE(error.message.find(pty_.slaveName()), std::string::npos) << error.message;
}

// How long a wait that should be woken by the port may run: far beyond any wake-up, so that
// returning before it shows the wait was woken and not timed out.
constexpr uint32_t kWaitMs = 5000;

uint32_t WaitOk(ISerialPort& port, std::size_t beyond, uint32_t timeoutMs) {
  uint32_t waiting = 0;
  const PortError e = port.WaitForInput(beyond, timeoutMs, waiting);
  EXPECT_TRUE(e.ok()) << e.message;
  return waiting;
}

TEST_F(PosixSerialTest, WaitIsWokenByBytesFromTheDevice) {
  auto port = OpenRaw();
  ASSERT_TRUE(port);
  const Bytes first = AwkwardBytes(6);
  const Bytes more = AwkwardBytes(5000);  // past the terminal's own count limit
  // The device answers while the program is already waiting; the pause only makes sure it is.
  std::thread device([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pty_.Send(first);
  });
  const auto t0 = std::chrono::steady_clock::now();
  const uint32_t woken = WaitOk(*port, 0, kWaitMs);
  device.join();
  EXPECT_GT(woken, 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(kWaitMs)) << "woken, not timed out";

  // Bytes already there do not wake a wait beyond them; the next ones do.
  const uint32_t settled = static_cast<uint32_t>(WaitForInQueue(*port, first.size()).inQueue);
  ASSERT_EQ(settled, first.size());
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pty_.Send(more);
  });
  uint32_t waiting = settled;
  while (waiting < first.size() + more.size()) {
    const uint32_t now = WaitOk(*port, waiting, kWaitMs);
    if (now <= waiting) break;
    waiting = now;
  }
  later.join();
  EXPECT_EQ(waiting, first.size() + more.size());
  Bytes all(waiting);
  EXPECT_EQ(ReadOk(*port, all.data(), all.size()), all.size());
  Bytes expected = first;
  expected.insert(expected.end(), more.begin(), more.end());
  EXPECT_EQ(all, expected) << "the wait reads nothing itself";
}

TEST_F(PosixSerialTest, WaitOnASilentPortRunsOutItsTime) {
  auto port = OpenRaw();
  ASSERT_TRUE(port);
  for (const uint32_t timeoutMs : {0u, 30u}) {
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitOk(*port, 0, timeoutMs), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(timeoutMs));
  }
  pty_.Send(AwkwardBytes(3));
  WaitForInQueue(*port, 3);
  EXPECT_EQ(WaitOk(*port, 3, 30), 3u) << "no more than the bytes already there";
}

TEST_F(PosixSerialTest, TheDeviceHangingUpIsReportedAsSuch) {
  // Closed before the wait, and while the wait is blocked.
  for (const bool during : {false, true}) {
    SCOPED_TRACE(during ? "during the wait" : "before the wait");
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    std::unique_ptr<ISerialPort> port;
    ASSERT_TRUE(backend_->Open(pty.slaveName(), port).ok());
    ASSERT_TRUE(port->SetSettings(Line921600()).ok());
    std::thread device;
    if (during) {
      device = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pty.CloseMaster();
      });
    } else {
      pty.CloseMaster();
    }
    const auto t0 = std::chrono::steady_clock::now();
    uint32_t waiting = 99;
    const PortError e = port->WaitForInput(0, kWaitMs, waiting);
    if (device.joinable()) device.join();
    EXPECT_EQ(e.kind, PortErrorKind::kHangUp) << e.message;
    EXPECT_EQ(waiting, 0u);
    EXPECT_NE(e.message.find(pty.slaveName()), std::string::npos) << e.message;
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(kWaitMs)) << "at once";

    QueueStatus status;
    EXPECT_EQ(port->QueryStatus(status).kind, PortErrorKind::kHangUp);
    uint8_t buffer[16];
    std::size_t n = 0;
    EXPECT_EQ(port->Read(buffer, sizeof buffer, n).kind, PortErrorKind::kHangUp);
  }
}

TEST_F(PosixSerialTest, SecondOpenIsBusyUntilTheFirstCloses) {
  auto first = OpenRaw();
  ASSERT_TRUE(first);

  std::unique_ptr<ISerialPort> second;
  PortError error = backend_->Open(pty_.slaveName(), second);
  EXPECT_FALSE(second);
  EXPECT_EQ(error.kind, PortErrorKind::kBusy) << error.message;
  EXPECT_NE(error.message.find(pty_.slaveName()), std::string::npos) << error.message;

  // The refused open left the first one working.
  const Bytes frame = {0x01, 0x04};
  EXPECT_EQ(WriteOk(*first, frame), frame.size());
  EXPECT_EQ(pty_.Receive(frame.size()), frame);

  first.reset();
  std::unique_ptr<ISerialPort> third;
  error = backend_->Open(pty_.slaveName(), third);
  EXPECT_TRUE(third) << error.message;
  EXPECT_TRUE(error.ok());
}

#ifdef TIOCGEXCL
// The terminal's exclusive flag keeps other programs out (except root, which the lock keeps
// out), and must not outlive the port: the master side keeps the terminal alive.
TEST_F(PosixSerialTest, ExclusiveFlagIsHeldWhileOpenAndClearedOnClose) {
  // Without the backend: a plain open, as another program would do it.
  const auto plainOpen = [&] {
    return ::open(pty_.slaveName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  };
  const auto exclusive = [](int fd) {
    int flag = -1;
    EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &flag), 0);
    return flag;
  };

  auto port = OpenRaw();
  ASSERT_TRUE(port);
  std::unique_ptr<ISerialPort> second;
  EXPECT_FALSE(backend_->Open(pty_.slaveName(), second).ok());  // must not clear the flag either
  int fd = plainOpen();
  if (fd >= 0) {  // root passes TIOCEXCL
    EXPECT_EQ(exclusive(fd), 1);
    ::close(fd);
  } else {
    EXPECT_EQ(errno, EBUSY);
  }

  port.reset();
  fd = plainOpen();
  ASSERT_GE(fd, 0) << "errno " << errno;
  EXPECT_EQ(exclusive(fd), 0);
  ::close(fd);
}
#endif

TEST_F(PosixSerialTest, MissingPortIsNotFound) {
  const std::string name = "/dev/zentrova-test-no-such-port";
  std::unique_ptr<ISerialPort> port;
  const PortError error = backend_->Open(name, port);
  EXPECT_FALSE(port);
  EXPECT_EQ(error.kind, PortErrorKind::kNotFound);
  EXPECT_EQ(error.code, ENOENT);
  EXPECT_EQ(error.message, "open " + name + ": No such file or directory");
}

TEST_F(PosixSerialTest, NonTerminalsAreRefused) {
  char path[] = "/tmp/zentrova-serial-test-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);

  for (const std::string& name : {std::string("/dev/null"), std::string(path), std::string()}) {
    std::unique_ptr<ISerialPort> port;
    const PortError error = backend_->Open(name, port);
    EXPECT_FALSE(port) << name;
    EXPECT_EQ(error.kind, PortErrorKind::kInvalidArgument) << "'" << name << "': " << error.message;
    EXPECT_NE(error.message.find(name), std::string::npos) << error.message;
  }
  ::unlink(path);
}

TEST_F(PosixSerialTest, OpenAndCloseForEveryExchange) {
  const int fdsBefore = OpenFdCount();
  for (int i = 0; i < 200; ++i) {
    auto port = OpenRaw();
    ASSERT_TRUE(port) << "open " << i;
    const Bytes request = {0x01, 0x04, static_cast<uint8_t>(i)};
    ASSERT_EQ(WriteOk(*port, request), request.size());
    ASSERT_EQ(pty_.Receive(request.size()), request) << "exchange " << i;
    const Bytes reply = {0x01, 0x04, static_cast<uint8_t>(255 - i), 0x0A};
    pty_.Send(reply);
    ASSERT_EQ(WaitForInQueue(*port, reply.size()).inQueue, reply.size()) << "exchange " << i;
    Bytes got(reply.size());
    ASSERT_EQ(ReadOk(*port, got.data(), got.size()), reply.size());
    ASSERT_EQ(got, reply) << "exchange " << i;
  }
  EXPECT_EQ(OpenFdCount(), fdsBefore) << "descriptors leaked";
}

}  // namespace
}  // namespace zv
