// The Win32 backend. The port is opened for synchronous use with read time-outs that make
// ReadFile return at once with what is waiting, so a read never waits for data, as on the
// termios backend; the program decides when to read from the count of bytes waiting.
// WaitForInput blocks in ReadFile with the one time-out setting that returns as soon as a
// byte arrives: the handle stays synchronous (no overlapped I/O to thread through every
// call), and the wait is still woken by the driver rather than by a sleep.

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/input_queue.h"
#include "platform/serial_port.h"
#include "platform/win32_error.h"

namespace zv {

namespace {

// How long one WriteFile may take before the write counts as stalled. A frame is a few bytes,
// so this is only reached when the line is stuck (flow control held, device gone).
constexpr DWORD kWriteStallBudgetMs = 250;

PortError MakeError(PortErrorKind kind, DWORD code, std::string message) {
  return MakePortError(kind, static_cast<int>(code), std::move(message));
}

// "COM12" becomes "\\.\COM12": without the device namespace, only COM1 to COM9 open. Names
// that already start with "\\" are taken as they are.
std::string DevicePath(const std::string& name) {
  if (name.rfind("\\\\", 0) == 0) return name;
  return "\\\\.\\" + name;
}

// A named kernel object per port, held while the port is open: the claim that keeps a second
// open out. Windows' serial drivers refuse a second open by themselves, but not every port
// does (wine's ports behind a pseudo-terminal, some virtual port drivers), and the download
// worker and the window must never share the port. Named in the session's namespace, so it
// also keeps out other Zentrova programs of the same user.
class PortClaim {
 public:
  // An empty claim (Held() false) when someone holds the port already; error then says why.
  static PortClaim Take(const std::string& name, DWORD& error) {
    std::string object = "Local\\zentrova-port-";
    for (char c : name.rfind("\\\\.\\", 0) == 0 ? name.substr(4) : name) {
      object += c == '\\' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    SetLastError(ERROR_SUCCESS);
    HANDLE h = CreateEventA(nullptr, TRUE, FALSE, object.c_str());
    error = GetLastError();
    if (h != nullptr && error == ERROR_ALREADY_EXISTS) {
      CloseHandle(h);
      error = ERROR_SHARING_VIOLATION;
      return PortClaim(nullptr);
    }
    // Without the object there is nothing to hold: the system's own exclusivity still applies.
    error = ERROR_SUCCESS;
    return PortClaim(h);
  }
  PortClaim(PortClaim&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  PortClaim& operator=(PortClaim&&) = delete;
  ~PortClaim() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }

 private:
  explicit PortClaim(HANDLE h) : handle_(h) {}
  HANDLE handle_;
};

// Reads return at once with what is waiting; writes give up when the line is stuck.
COMMTIMEOUTS ImmediateTimeouts() {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.WriteTotalTimeoutConstant = kWriteStallBudgetMs;
  return timeouts;
}

// Errors that mean "this port has no such thing" (a virtual port without modem lines).
bool IsUnsupported(DWORD code) { return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION; }

class Win32SerialPort final : public ISerialPort {
 public:
  Win32SerialPort(HANDLE handle, std::string name, PortClaim claim)
      : handle_(handle), name_(std::move(name)), claim_(std::move(claim)) {}
  ~Win32SerialPort() override { CloseHandle(handle_); }

  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  const std::string& Name() const override { return name_; }

  PortError GetSettings(LineSettings& settings) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) return ErrorFromWin32(GetLastError(), "GetCommState", name_);
    LineSettings s;
    s.baudRate = dcb.BaudRate;
    s.byteSize = dcb.ByteSize;
    s.parity = static_cast<Parity>(std::min<BYTE>(dcb.Parity, SPACEPARITY));
    s.stopBits = static_cast<StopBits>(std::min<BYTE>(dcb.StopBits, TWOSTOPBITS));
    s.binary = dcb.fBinary != 0;
    if (modemLinesMissing_) {
      s.dtrControl = requestedDtr_;
      s.rtsControl = requestedRts_;
    } else {
      s.dtrControl = dcb.fDtrControl == DTR_CONTROL_DISABLE ? LineControl::kDisable : LineControl::kEnable;
      s.rtsControl = dcb.fRtsControl == RTS_CONTROL_DISABLE ? LineControl::kDisable : LineControl::kEnable;
    }
    settings = s;
    return {};
  }

  PortError SetSettings(const LineSettings& settings) override {
    DCB old{};
    old.DCBlength = sizeof old;
    if (!GetCommState(handle_, &old)) return ErrorFromWin32(GetLastError(), "GetCommState", name_);
    DCB dcb = old;
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.byteSize;
    dcb.Parity = static_cast<BYTE>(settings.parity);
    dcb.fParity = settings.parity != Parity::kNone;
    dcb.StopBits = static_cast<BYTE>(settings.stopBits);
    dcb.fBinary = TRUE;  // Windows has no other mode; said here for clarity
    // A line error must not abort reads: an aborted read is how an unplugged adapter shows.
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = settings.dtrControl == LineControl::kEnable ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = settings.rtsControl == LineControl::kEnable ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    if (!SetCommState(handle_, &dcb)) {
      const DWORD code = GetLastError();
      // A port without modem lines may refuse the whole state for the lines alone: the
      // format is set without them, and the lines are tried on their own below.
      bool applied = false;
      if (IsUnsupported(code)) {
        DCB noLines = dcb;
        noLines.fDtrControl = old.fDtrControl;
        noLines.fRtsControl = old.fRtsControl;
        applied = SetCommState(handle_, &noLines) != 0;
      }
      if (!applied) {
        SetCommState(handle_, &old);
        if (code == ERROR_INVALID_PARAMETER || IsUnsupported(code)) return Refused(settings, code);
        return ErrorFromWin32(code, "SetCommState", name_);
      }
    }
    // Drivers may round a speed or keep a format of their own and still report success:
    // read back, and put the line back as it was when the format did not take.
    DCB check{};
    check.DCBlength = sizeof check;
    if (!GetCommState(handle_, &check)) return ErrorFromWin32(GetLastError(), "GetCommState", name_);
    if (check.BaudRate != dcb.BaudRate || check.ByteSize != dcb.ByteSize || check.Parity != dcb.Parity ||
        check.StopBits != dcb.StopBits) {
      SetCommState(handle_, &old);
      return Refused(settings, ERROR_INVALID_PARAMETER);
    }

    requestedDtr_ = settings.dtrControl;
    requestedRts_ = settings.rtsControl;
    PortError e = SetModemLine(settings.dtrControl == LineControl::kEnable ? SETDTR : CLRDTR, "DTR");
    if (!e.ok()) return e;
    return SetModemLine(settings.rtsControl == LineControl::kEnable ? SETRTS : CLRRTS, "RTS");
  }

  PortError Write(const uint8_t* data, std::size_t size, std::size_t& written) override {
    written = 0;
    while (written < size) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - written, 1u << 30));
      DWORD n = 0;
      if (!WriteFile(handle_, data + written, chunk, &n, nullptr)) {
        written += n;
        return ErrorFromWin32(GetLastError(), "WriteFile", name_);
      }
      written += n;
      if (n == 0) {
        // The write time-out ran out with nothing taken.
        return MakeError(PortErrorKind::kIo, ERROR_TIMEOUT,
                         "WriteFile " + name_ + ": output stalled after " + std::to_string(written) + " of " +
                             std::to_string(size) + " bytes");
      }
    }
    return {};
  }

  PortError QueryStatus(QueueStatus& status) override {
    status = QueueStatus{};
    if (PortError e = Drain(); !e.ok()) return e;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(handle_, &errors, &stat)) return ErrorFromWin32(GetLastError(), "ClearCommError", name_);
    status.inQueue = static_cast<uint32_t>(queue_.Size()) + stat.cbInQue;
    status.outQueue = stat.cbOutQue;
    return {};
  }

  PortError WaitForInput(std::size_t beyond, uint32_t timeoutMs, uint32_t& waiting) override {
    waiting = 0;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      QueueStatus status;
      if (PortError e = QueryStatus(status); !e.ok()) return e;
      // Rounded up: a read that times out a little early only loops once more.
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (status.inQueue > beyond || left <= 0) {
        waiting = status.inQueue;
        return {};
      }
      // Everything the driver had is in queue_ now, so this read waits for a new byte.
      COMMTIMEOUTS blocking{};
      blocking.ReadIntervalTimeout = MAXDWORD;
      blocking.ReadTotalTimeoutMultiplier = MAXDWORD;
      blocking.ReadTotalTimeoutConstant = static_cast<DWORD>(left);
      blocking.WriteTotalTimeoutConstant = kWriteStallBudgetMs;
      if (!SetCommTimeouts(handle_, &blocking)) return ErrorFromWin32(GetLastError(), "SetCommTimeouts", name_);
      // One byte asked for: Windows returns at the first byte with any size, but wine's port
      // waits out the whole time-out for a larger read; the rest is drained by the next look.
      uint8_t chunk[1];
      DWORD n = 0;
      const BOOL got = ReadFile(handle_, chunk, sizeof chunk, &n, nullptr);
      const DWORD readError = got ? ERROR_SUCCESS : GetLastError();
      COMMTIMEOUTS immediate = ImmediateTimeouts();
      const BOOL restored = SetCommTimeouts(handle_, &immediate);
      if (n > 0) queue_.Append(chunk, static_cast<std::size_t>(n));
      if (!got) return ErrorFromWin32(readError, "ReadFile", name_);
      if (!restored) return ErrorFromWin32(GetLastError(), "SetCommTimeouts", name_);
    }
  }

  PortError Read(uint8_t* data, std::size_t size, std::size_t& read) override {
    // Bytes already taken into our own queue come first.
    read = queue_.Take(data, size);
    while (read < size) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - read, 1u << 30));
      DWORD n = 0;
      if (!ReadFile(handle_, data + read, chunk, &n, nullptr)) {
        read += n;
        return ErrorFromWin32(GetLastError(), "ReadFile", name_);
      }
      if (n == 0) break;  // nothing more waiting
      read += n;
    }
    return {};
  }

 private:
  // Tops up the input queue with everything the driver has (see input_queue.h).
  PortError Drain() {
    uint8_t chunk[4096];
    while (!queue_.Full()) {
      DWORD n = 0;
      if (!ReadFile(handle_, chunk, sizeof chunk, &n, nullptr)) {
        return ErrorFromWin32(GetLastError(), "ReadFile", name_);
      }
      if (n == 0) return {};
      queue_.Append(chunk, static_cast<std::size_t>(n));
    }
    return {};
  }

  PortError Refused(const LineSettings& s, DWORD code) const {
    static const char* const kParity[] = {"N", "O", "E", "M", "S"};
    static const char* const kStop[] = {"1", "1.5", "2"};
    return MakeError(PortErrorKind::kInvalidArgument, code,
                     "SetCommState " + name_ + ": the port does not take " + std::to_string(s.baudRate) + " baud " +
                         std::to_string(s.byteSize) + kParity[static_cast<int>(s.parity) % 5] +
                         kStop[static_cast<int>(s.stopBits) % 3]);
  }

  PortError SetModemLine(DWORD function, const char* line) {
    if (EscapeCommFunction(handle_, function)) return {};
    const DWORD code = GetLastError();
    if (IsUnsupported(code)) {  // no modem lines here, e.g. a virtual port
      modemLinesMissing_ = true;
      return {};
    }
    return ErrorFromWin32(code, std::string("EscapeCommFunction ") + line, name_);
  }

  HANDLE handle_;
  std::string name_;
  PortClaim claim_;  // released after the handle is closed
  // What SetSettings asked for, reported back by GetSettings where the port has no lines.
  LineControl requestedDtr_ = LineControl::kDisable;
  LineControl requestedRts_ = LineControl::kDisable;
  bool modemLinesMissing_ = false;
  InputQueue queue_;  // received bytes taken from the driver and not yet read
};

class Win32SerialBackend final : public ISerialBackend {
 public:
  PortError Open(const std::string& name, std::unique_ptr<ISerialPort>& port) override {
    port.reset();
    if (name.empty()) {
      return MakeError(PortErrorKind::kInvalidArgument, ERROR_INVALID_NAME, "open: empty port name");
    }
    // The claim comes first, so that an open that loses the race touches nothing.
    DWORD claimError = ERROR_SUCCESS;
    PortClaim claim = PortClaim::Take(name, claimError);
    if (claimError != ERROR_SUCCESS) return ErrorFromWin32(claimError, "open", name);
    // Share mode 0: the port is ours alone until closed, against this process and others.
    HANDLE h = CreateFileA(DevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return ErrorFromWin32(GetLastError(), "open", name);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) {
      const DWORD code = GetLastError();
      CloseHandle(h);
      return MakeError(PortErrorKind::kInvalidArgument, code,
                       "open " + name + ": not a serial port (" + Win32ErrorText(code) + ")");
    }
    COMMTIMEOUTS timeouts = ImmediateTimeouts();
    if (!SetCommTimeouts(h, &timeouts)) {
      const DWORD code = GetLastError();
      CloseHandle(h);
      return ErrorFromWin32(code, "SetCommTimeouts", name);
    }
    // Bytes that reached the driver while nobody had the port open (a late answer to an
    // exchange that has already closed) are not part of anything this open will ask for.
    PurgeComm(h, PURGE_RXCLEAR | PURGE_RXABORT);
    port = std::make_unique<Win32SerialPort>(h, name, std::move(claim));
    return {};
  }
};

PortErrorKind KindFromWin32(DWORD code, bool opening) {
  // On a handle that was open and working, these are how the driver says the adapter went:
  // usbser and most vendor drivers fail every call with one of them once it is pulled out.
  if (!opening) {
    switch (code) {
      case ERROR_ACCESS_DENIED:
      case ERROR_BAD_COMMAND:
      case ERROR_DEVICE_REMOVED:
      case ERROR_DEVICE_NOT_CONNECTED:
      case ERROR_DEV_NOT_EXIST:
      case ERROR_GEN_FAILURE:
      case ERROR_OPERATION_ABORTED:
        return PortErrorKind::kHangUp;
      default:
        break;
    }
  }
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
      return PortErrorKind::kNotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return PortErrorKind::kBusy;
    case ERROR_ACCESS_DENIED:
      return opening ? PortErrorKind::kBusy : PortErrorKind::kPermissionDenied;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      return PortErrorKind::kNotSupported;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_NAME:
      return PortErrorKind::kInvalidArgument;
    case ERROR_INVALID_HANDLE:
      return PortErrorKind::kClosed;
    default:
      return PortErrorKind::kIo;
  }
}

}  // namespace

std::string Win32ErrorText(unsigned long code) {
  char* buffer = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  // English first, so that messages read the same on every machine; the user's language when
  // the system has no English text.
  DWORD n = FormatMessageA(flags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                           reinterpret_cast<char*>(&buffer), 0, nullptr);
  if (n == 0) {
    n = FormatMessageA(flags, nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  }
  std::string text = n != 0 && buffer != nullptr ? std::string(buffer, n) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  if (text.empty()) text = "error " + std::to_string(code);
  return text;
}

PortError ErrorFromWin32(unsigned long code, const std::string& operation, const std::string& portName) {
  return DescribePortError(KindFromWin32(code, operation == "open"), static_cast<int>(code), operation, portName,
                           code == 0 ? std::string("unknown error") : Win32ErrorText(code));
}

std::unique_ptr<ISerialBackend> MakeWin32SerialBackend() { return std::make_unique<Win32SerialBackend>(); }

}  // namespace zv
