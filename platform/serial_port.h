// The one narrow transport interface to the logger: open a port by name, set its line,
// write, ask how many bytes wait, read those bytes, close. Backends: POSIX termios
// (posix_serial.cpp), Win32 (win32_serial.cpp), the scripted in-process port for tests
// (scripted_port.h).
// Every operation returns a PortError (ok() on success) and gives its result through an
// out-parameter, which is set on failure too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zv {

enum class PortErrorKind {
  kNone,
  kNotFound,          // no such port (ENOENT, ENODEV, ENXIO)
  kBusy,              // held by another open, in this process or another (EBUSY, EWOULDBLOCK)
  kPermissionDenied,  // EACCES, EPERM
  kNotSupported,      // the operation has no meaning on this port (ENOTTY on a pseudo-terminal)
  kInvalidArgument,   // EINVAL, a name that is empty or not a terminal
  kClosed,            // the port is not open
  kHangUp,            // the device went away under the open port (unplugged, the far end closed);
                      // the port stays unusable: close it and open the name again
  kIo,                // anything else
};

struct PortError {
  PortErrorKind kind = PortErrorKind::kNone;
  int code = 0;         // the system's error number, 0 when none applies
  std::string message;  // one line for a person: what failed and why

  bool ok() const { return kind == PortErrorKind::kNone; }
};

// Maps a POSIX errno to a kind and a message naming the operation and the port, in the form
// "open /dev/ttyUSB0: No such file or directory" (the system's text, in English whatever the
// process locale). err 0 gives kIo: it is only called after a failure. Thread-safe.
PortError ErrorFromErrno(int err, const std::string& operation, const std::string& portName);
// A failure of the given kind whose message is already worded.
PortError MakePortError(PortErrorKind kind, int code, std::string message);
// A failure worded the way every backend words them: "operation portName: why" (either of the
// first two may be empty).
PortError DescribePortError(PortErrorKind kind, int code, const std::string& operation, const std::string& portName,
                            const std::string& why);
// A stable lower-case name for the kind ("none", "not-found", "busy", ...), for logs and tests.
const char* PortErrorKindName(PortErrorKind kind);

enum class Parity : uint8_t { kNone, kOdd, kEven, kMark, kSpace };
enum class StopBits : uint8_t { kOne, kOnePointFive, kTwo };
enum class LineControl : uint8_t { kDisable, kEnable };

// The line settings of an open port, read and written as a whole.
struct LineSettings {
  uint32_t baudRate = 9600;
  uint8_t byteSize = 8;
  Parity parity = Parity::kNone;
  StopBits stopBits = StopBits::kOne;
  bool binary = true;  // bytes pass unchanged: no line editing, no translation
  LineControl dtrControl = LineControl::kDisable;
  LineControl rtsControl = LineControl::kDisable;
};

// Counters of the receive and transmit queues.
struct QueueStatus {
  uint32_t inQueue = 0;   // received bytes waiting to be read
  uint32_t outQueue = 0;  // bytes handed over and not yet sent, when the backend knows
};

// An open port. Destroying the object closes the port and releases its lock.
class ISerialPort {
 public:
  virtual ~ISerialPort() = default;
  virtual const std::string& Name() const = 0;
  // Fills settings with the port's current line settings. Where the modem lines cannot be
  // read (no such lines), DTR and RTS are reported as last set through SetSettings.
  virtual PortError GetSettings(LineSettings& settings) = 0;
  // Applies settings; raw 8-bit transfer always. DTR/RTS on a port without modem lines is
  // not an error. A speed or character format the port cannot do gives kInvalidArgument
  // (kNotSupported for mark/space parity where the system has none) and leaves the line as
  // it was.
  virtual PortError SetSettings(const LineSettings& settings) = 0;
  // Hands the bytes to the port; written is how many it took, also when it fails part way.
  // Never waits for a reply.
  virtual PortError Write(const uint8_t* data, std::size_t size, std::size_t& written) = 0;
  // Fills status with the queue counters; inQueue is 0 when the query fails.
  virtual PortError QueryStatus(QueueStatus& status) = 0;
  // Reads at most size bytes that are already waiting; never blocks. read is the count
  // taken, 0 when nothing waits (not an error); bytes taken before a failure still count.
  virtual PortError Read(uint8_t* data, std::size_t size, std::size_t& read) = 0;
  // Blocks until more than beyond received bytes wait, or timeoutMs has passed, or the port
  // hangs up, whichever comes first; woken by the port, not by polling it. waiting is the
  // count then waiting (as QueryStatus's inQueue, 0 on failure). Running out of time is not
  // an error: ok() with waiting <= beyond says nothing more came. So "the count is unchanged
  // over one interval" is one call with beyond = the count, and "n bytes, or idle for t" is
  // a call per arrival with beyond = the bytes waiting unread and timeoutMs = t. A timeout
  // of 0 only looks. A hang-up gives kHangUp at once, without waiting out the time. Reads
  // nothing: the bytes stay for Read. Time is the system's monotonic clock, except on the
  // in-process ports (scripted, loopback), which sleep on the clock they were given.
  virtual PortError WaitForInput(std::size_t beyond, uint32_t timeoutMs, uint32_t& waiting) = 0;
};

// Opens ports by name.
class ISerialBackend {
 public:
  virtual ~ISerialBackend() = default;
  // Opens the named port for exclusive use: a second open of the same port fails with kBusy
  // until the first is closed. The name is used verbatim. port holds the open port on
  // success and is null on failure.
  virtual PortError Open(const std::string& name, std::unique_ptr<ISerialPort>& port) = 0;
};

#if defined(_WIN32)
// The Win32 backend: ports by their COM names ("COM3"; "\\.\COM12" also taken).
std::unique_ptr<ISerialBackend> MakeWin32SerialBackend();
#else
// The POSIX termios backend.
std::unique_ptr<ISerialBackend> MakePosixSerialBackend();
#endif

// The backend of the system the program runs on: Win32 on Windows, termios elsewhere.
std::unique_ptr<ISerialBackend> MakeSystemSerialBackend();

}  // namespace zv
