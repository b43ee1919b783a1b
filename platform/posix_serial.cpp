// The POSIX termios backend. Ports are opened non-blocking and set to VMIN=0/VTIME=0, so a
// read only ever returns what is already waiting; the program decides when to read from the
// count of bytes waiting.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "platform/input_queue.h"
#include "platform/serial_port.h"
#include "platform/termios_settings.h"

namespace zv {

namespace {

// ioctl errors that mean "this terminal has no such thing" (a pseudo-terminal has no modem
// lines, some drivers do not count their output queue) rather than a failure.
bool IsUnsupported(int err) { return err == ENOTTY || err == EINVAL; }

// On a terminal that was open and working, these mean the device is gone: a USB adapter
// pulled out gives ENODEV or ENXIO, or EIO once the driver has hung the terminal up; a
// pseudo-terminal whose master closed gives EIO.
bool IsHangUp(int err) { return err == EIO || err == ENODEV || err == ENXIO; }

PortError MakeError(PortErrorKind kind, int code, std::string message) {
  PortError e;
  e.kind = kind;
  e.code = code;
  e.message = std::move(message);
  return e;
}

// How long one Write may wait in total for the driver to take more bytes when its buffer is
// full. A frame is a few bytes, so this is only reached when the line is stuck.
constexpr int kWriteStallBudgetMs = 250;

class PosixSerialPort final : public ISerialPort {
 public:
  PosixSerialPort(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}

  ~PosixSerialPort() override {
    if (fd_ < 0) return;
    // The exclusive flag belongs to the terminal, not to this descriptor: left set, it would
    // outlive this close whenever someone else still holds the terminal (the master side of
    // a pseudo-terminal), and lock out the next non-root open.
    ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }

  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  const std::string& Name() const override { return name_; }

  PortError GetSettings(LineSettings& settings) override {
    if (fd_ < 0) return ClosedError("tcgetattr");
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return Failure(errno, "tcgetattr");

    LineSettings s;
    ReadTermios(tio, s);

    int lines = 0;
    if (::ioctl(fd_, TIOCMGET, &lines) == 0) {
      s.dtrControl = (lines & TIOCM_DTR) != 0 ? LineControl::kEnable : LineControl::kDisable;
      s.rtsControl = (lines & TIOCM_RTS) != 0 ? LineControl::kEnable : LineControl::kDisable;
    } else if (IsUnsupported(errno)) {
      s.dtrControl = requestedDtr_;
      s.rtsControl = requestedRts_;
    } else {
      return Failure(errno, "TIOCMGET");
    }
    settings = s;
    return {};
  }

  PortError SetSettings(const LineSettings& settings) override {
    if (fd_ < 0) return ClosedError("tcsetattr");

    termios old{};
    if (::tcgetattr(fd_, &old) != 0) return Failure(errno, "tcgetattr");
    termios tio = old;
    PortError e = MakeRawTermios(settings, name_, tio);
    if (!e.ok()) return e;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
      const int err = errno;
      ::tcsetattr(fd_, TCSANOW, &old);
      if (err == EINVAL) return Refused(settings);
      return Failure(err, "tcsetattr");
    }
    // tcsetattr succeeds when any part of the request was taken, and drivers quietly keep
    // values of their own (a pseudo-terminal stays at 8 bits without parity): read back,
    // and put the line back as it was when the format did not take.
    termios check{};
    if (::tcgetattr(fd_, &check) != 0) return Failure(errno, "tcgetattr");
    if (!SameLineFormat(tio, check)) {
      ::tcsetattr(fd_, TCSANOW, &old);
      return Refused(settings);
    }

    requestedDtr_ = settings.dtrControl;
    requestedRts_ = settings.rtsControl;
    e = SetModemLine(TIOCM_DTR, settings.dtrControl == LineControl::kEnable);
    if (!e.ok()) return e;
    return SetModemLine(TIOCM_RTS, settings.rtsControl == LineControl::kEnable);
  }

  PortError Write(const uint8_t* data, std::size_t size, std::size_t& written) override {
    written = 0;
    if (fd_ < 0) return ClosedError("write");
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteStallBudgetMs);
    while (written < size) {
      const ssize_t n = ::write(fd_, data + written, size - written);
      if (n > 0) {
        written += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        return Failure(errno, "write");
      }
      // The driver's buffer is full: wait for room, but not for long.
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        return MakeError(PortErrorKind::kIo, EAGAIN,
                         "write " + name_ + ": output stalled after " + std::to_string(written) +
                             " of " + std::to_string(size) + " bytes");
      }
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) {
        return Failure(errno, "poll");
      }
    }
    return {};
  }

  PortError QueryStatus(QueueStatus& status) override {
    status = QueueStatus{};
    if (fd_ < 0) return ClosedError("FIONREAD");
    if (PortError e = Drain(); !e.ok()) return e;
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0) return Failure(errno, "FIONREAD");
    status.inQueue = static_cast<uint32_t>(queue_.Size()) + (waiting > 0 ? static_cast<uint32_t>(waiting) : 0);
#ifdef TIOCOUTQ
    int pendingOut = 0;
    if (::ioctl(fd_, TIOCOUTQ, &pendingOut) == 0 && pendingOut > 0) {
      status.outQueue = static_cast<uint32_t>(pendingOut);
    }
#endif
    return {};
  }

  PortError Read(uint8_t* data, std::size_t size, std::size_t& read) override {
    read = 0;
    if (fd_ < 0) return ClosedError("read");
    // Bytes already taken into our own queue come first.
    read = queue_.Take(data, size);
    if (read == size) return {};
    for (;;) {
      const ssize_t n = ::read(fd_, data + read, size - read);
      if (n > 0) {
        read += static_cast<std::size_t>(n);
        return {};
      }
      // A terminal that was hung up reads as empty, like an idle one; only poll() tells.
      if (n == 0) return read == 0 && HasHungUp() ? HungUp("read") : PortError{};
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return {};
      return Failure(errno, "read");
    }
  }

  PortError WaitForInput(std::size_t beyond, uint32_t timeoutMs, uint32_t& waiting) override {
    waiting = 0;
    if (fd_ < 0) return ClosedError("poll");
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      QueueStatus status;
      if (PortError e = QueryStatus(status); !e.ok()) return e;
      if (status.inQueue > beyond) {
        waiting = status.inQueue;
        return {};
      }
      // Rounded up: poll() counts whole milliseconds, and waking early would only loop.
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        waiting = status.inQueue;
        return {};
      }
      // Everything the terminal had is in queue_ now, so readiness means new bytes.
      pollfd p{fd_, POLLIN, 0};
      const int ready = ::poll(&p, 1, static_cast<int>(left));
      if (ready < 0 && errno != EINTR) return Failure(errno, "poll");
      if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        // The last bytes before the hang-up may still be readable; they are not a reply
        // to trust, but they are counted if asked for, and the next look reports the loss.
        if (PortError e = QueryStatus(status); !e.ok()) return e;
        if (status.inQueue > beyond) {
          waiting = status.inQueue;
          return {};
        }
        return HungUp("poll");
      }
    }
  }

 private:
  // Tops up the input queue with everything the terminal has (see input_queue.h).
  PortError Drain() {
    uint8_t chunk[4096];
    while (!queue_.Full()) {
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n > 0) {
        queue_.Append(chunk, static_cast<std::size_t>(n));
        continue;
      }
      if (n == 0) return {};
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return {};
      return Failure(errno, "read");
    }
    return {};
  }

  PortError Failure(int err, const std::string& operation) const {
    PortError e = ErrorFromErrno(err, operation, name_);
    if (IsHangUp(err)) e.kind = PortErrorKind::kHangUp;
    return e;
  }

  bool HasHungUp() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }

  PortError HungUp(const char* operation) const {
    return MakeError(PortErrorKind::kHangUp, EIO, std::string(operation) + " " + name_ + ": the device hung up");
  }

  PortError Refused(const LineSettings& s) const {
    static const char* const kParity[] = {"N", "O", "E", "M", "S"};
    static const char* const kStop[] = {"1", "1.5", "2"};
    return MakeError(PortErrorKind::kInvalidArgument, EINVAL,
                     "tcsetattr " + name_ + ": the port does not take " +
                         std::to_string(s.baudRate) + " baud " + std::to_string(s.byteSize) +
                         kParity[static_cast<int>(s.parity) % 5] +
                         kStop[static_cast<int>(s.stopBits) % 3]);
  }

  PortError ClosedError(const char* operation) const {
    return MakeError(PortErrorKind::kClosed, EBADF,
                     std::string(operation) + " " + name_ + ": port is not open");
  }

  PortError SetModemLine(int line, bool on) {
    int bits = line;
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0) return {};
    if (IsUnsupported(errno)) return {};  // no modem lines here, e.g. a pseudo-terminal
    return Failure(errno, on ? "TIOCMBIS" : "TIOCMBIC");
  }

  int fd_;
  std::string name_;
  // What SetSettings asked for, reported back by GetSettings where the lines cannot be read.
  LineControl requestedDtr_ = LineControl::kDisable;
  LineControl requestedRts_ = LineControl::kDisable;
  InputQueue queue_;  // received bytes taken from the terminal and not yet read
};

class PosixSerialBackend final : public ISerialBackend {
 public:
  PortError Open(const std::string& name, std::unique_ptr<ISerialPort>& port) override {
    port.reset();
    if (name.empty()) {
      return MakeError(PortErrorKind::kInvalidArgument, EINVAL, "open: empty port name");
    }
    int fd = -1;
    do {
      fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return ErrorFromErrno(errno, "open", name);
    if (::isatty(fd) == 0) {
      ::close(fd);
      return MakeError(PortErrorKind::kInvalidArgument, ENOTTY,
                       "open " + name + ": not a serial port (not a terminal)");
    }
    // The lock comes first: TIOCEXCL is state of the terminal, not of this descriptor, so an
    // open that loses the race must leave it alone. flock belongs to the open file
    // description, so it also keeps out a second open in this process and root, which
    // TIOCEXCL lets through.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      ::close(fd);
      PortError error = ErrorFromErrno(err, "lock", name);
      if (err == EWOULDBLOCK || err == EAGAIN) error.message = "open " + name + ": port is busy";
      return error;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
      const int err = errno;
      ::flock(fd, LOCK_UN);
      ::close(fd);
      return ErrorFromErrno(err, "TIOCEXCL", name);
    }
    // Bytes that reached the terminal while nobody had the port open (a late answer to an
    // exchange that has already closed) are not part of anything this open will ask for; a
    // serial port that was closed would not have received them at all.
    ::tcflush(fd, TCIFLUSH);
    port = std::make_unique<PosixSerialPort>(fd, name);
    return {};
  }
};

}  // namespace

std::unique_ptr<ISerialBackend> MakePosixSerialBackend() {
  return std::make_unique<PosixSerialBackend>();
}

}  // namespace zv
