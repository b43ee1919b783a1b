#include "platform/termios_settings.h"

#include <cerrno>

namespace zv {

namespace {

struct BaudEntry {
  uint32_t rate;
  speed_t speed;
};

// The rates termios can name. A port driver may still refuse one.
constexpr BaudEntry kBaudTable[] = {
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
#ifdef B57600
    {57600, B57600},
#endif
#ifdef B115200
    {115200, B115200},
#endif
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

// The c_cflag bits that make up the character format.
tcflag_t FormatBits() {
  tcflag_t bits = CSIZE | PARENB | PARODD | CSTOPB;
#ifdef CMSPAR
  bits |= CMSPAR;
#endif
  return bits;
}

PortError Refuse(PortErrorKind kind, const std::string& portName, const std::string& why) {
  PortError e;
  e.kind = kind;
  e.code = kind == PortErrorKind::kInvalidArgument ? EINVAL : 0;
  e.message = "tcsetattr " + portName + ": " + why;
  return e;
}

}  // namespace

bool SpeedFromBaudRate(uint32_t baudRate, speed_t& speed) {
  for (const BaudEntry& e : kBaudTable) {
    if (e.rate == baudRate) {
      speed = e.speed;
      return true;
    }
  }
  return false;
}

uint32_t BaudRateFromSpeed(speed_t speed) {
  for (const BaudEntry& e : kBaudTable) {
    if (e.speed == speed) return e.rate;
  }
  return 0;
}

PortError MakeRawTermios(const LineSettings& settings, const std::string& portName, termios& tio) {
  // Everything is checked before tio is touched.
  speed_t speed = B0;
  if (!SpeedFromBaudRate(settings.baudRate, speed)) {
    return Refuse(PortErrorKind::kInvalidArgument, portName,
                  "unsupported baud rate " + std::to_string(settings.baudRate));
  }
  tcflag_t size = CS8;
  switch (settings.byteSize) {
    case 5:
      size = CS5;
      break;
    case 6:
      size = CS6;
      break;
    case 7:
      size = CS7;
      break;
    case 8:
      size = CS8;
      break;
    default:
      return Refuse(PortErrorKind::kInvalidArgument, portName,
                    "unsupported byte size " + std::to_string(settings.byteSize));
  }
  // CSTOPB means 1.5 stop bits with 5-bit characters and 2 otherwise; the other pairings do
  // not exist on the wire.
  const bool fiveBits = settings.byteSize == 5;
  if ((settings.stopBits == StopBits::kOnePointFive && !fiveBits) ||
      (settings.stopBits == StopBits::kTwo && fiveBits)) {
    return Refuse(PortErrorKind::kInvalidArgument, portName,
                  "stop bits do not go with a byte size of " + std::to_string(settings.byteSize));
  }
  tcflag_t parity = 0;
  switch (settings.parity) {
    case Parity::kNone:
      break;
    case Parity::kOdd:
      parity = PARENB | PARODD;
      break;
    case Parity::kEven:
      parity = PARENB;
      break;
    case Parity::kMark:
    case Parity::kSpace:
#ifdef CMSPAR
      parity = PARENB | CMSPAR | (settings.parity == Parity::kMark ? PARODD : 0);
      break;
#else
      return Refuse(PortErrorKind::kNotSupported, portName, "mark and space parity are not available");
#endif
  }

  termios t = tio;
  if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) {
    return Refuse(PortErrorKind::kInvalidArgument, portName,
                  "unsupported baud rate " + std::to_string(settings.baudRate));
  }
  // Raw: no line editing, no signals, no translation either way, no flow control. Parity
  // errors are not marked or checked: bytes pass as they came.
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON | IXOFF | IXANY | INPCK);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  tcflag_t clear = FormatBits();
#ifdef CRTSCTS
  clear |= CRTSCTS;
#endif
  t.c_cflag &= ~clear;
  t.c_cflag |= size | parity | CLOCAL | CREAD;
  if (settings.stopBits != StopBits::kOne) t.c_cflag |= CSTOPB;
  // A read returns at once with whatever is waiting.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  tio = t;
  return {};
}

void ReadTermios(const termios& tio, LineSettings& settings) {
  settings.baudRate = BaudRateFromSpeed(::cfgetospeed(&tio));
  switch (tio.c_cflag & CSIZE) {
    case CS5:
      settings.byteSize = 5;
      break;
    case CS6:
      settings.byteSize = 6;
      break;
    case CS7:
      settings.byteSize = 7;
      break;
    default:
      settings.byteSize = 8;
      break;
  }
  const bool odd = (tio.c_cflag & PARODD) != 0;
  if ((tio.c_cflag & PARENB) == 0) {
    settings.parity = Parity::kNone;
  } else {
#ifdef CMSPAR
    if ((tio.c_cflag & CMSPAR) != 0) {
      settings.parity = odd ? Parity::kMark : Parity::kSpace;
    } else
#endif
    {
      settings.parity = odd ? Parity::kOdd : Parity::kEven;
    }
  }
  if ((tio.c_cflag & CSTOPB) == 0) {
    settings.stopBits = StopBits::kOne;
  } else {
    settings.stopBits = settings.byteSize == 5 ? StopBits::kOnePointFive : StopBits::kTwo;
  }
  settings.binary = (tio.c_lflag & (ICANON | ISIG | IEXTEN)) == 0 && (tio.c_oflag & OPOST) == 0 &&
                    (tio.c_iflag & (ISTRIP | INLCR | IGNCR | ICRNL | IXON | PARMRK)) == 0;
}

bool SameLineFormat(const termios& a, const termios& b) {
  tcflag_t bits = FormatBits();
  // Without parity, PARODD and CMSPAR mean nothing; a driver may keep or drop them.
  if ((a.c_cflag & PARENB) == 0) {
    bits = CSIZE | PARENB | CSTOPB;
  }
  return ::cfgetospeed(&a) == ::cfgetospeed(&b) && ::cfgetispeed(&a) == ::cfgetispeed(&b) &&
         (a.c_cflag & bits) == (b.c_cflag & bits);
}

}  // namespace zv
