#include "platform/termios_settings.h"

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "refused_line_settings.h"

namespace zv {
namespace {

// A terminal as it comes up: line editing, echo, signals, CR/LF translation, flow control,
// and a character format other than the one asked for.
termios CookedTermios() {
  termios t{};
  t.c_iflag = ICRNL | IXON | IXOFF | ISTRIP | BRKINT | INPCK;
  t.c_oflag = OPOST | ONLCR;
  t.c_lflag = ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN;
  t.c_cflag = CS7 | PARENB | PARODD | CSTOPB | HUPCL;
#ifdef CRTSCTS
  t.c_cflag |= CRTSCTS;
#endif
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 5;
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  return t;
}

struct FormatCase {
  const char* name;
  uint8_t byteSize;
  Parity parity;
  StopBits stopBits;
  tcflag_t cflag;  // the format bits expected in c_cflag
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

tcflag_t FormatMask() {
  tcflag_t mask = CSIZE | PARENB | PARODD | CSTOPB;
#ifdef CMSPAR
  mask |= CMSPAR;
#endif
  return mask;
}

class TermiosFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(TermiosFormatTest, RawLineWithTheFormatAndBack) {
  const FormatCase c = GetParam();
  LineSettings s;
  s.baudRate = 921600;
  s.byteSize = c.byteSize;
  s.parity = c.parity;
  s.stopBits = c.stopBits;
  termios t = CookedTermios();
  const PortError e = MakeRawTermios(s, "/dev/ttyUSB0", t);
  ASSERT_TRUE(e.ok()) << e.message;

  EXPECT_EQ(t.c_cflag & FormatMask(), c.cflag);
  EXPECT_NE(t.c_cflag & CLOCAL, 0u);
  EXPECT_NE(t.c_cflag & CREAD, 0u);
#ifdef CRTSCTS
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
#endif
  EXPECT_NE(t.c_cflag & HUPCL, 0u) << "flags outside the format are the port's own";
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | IXANY | ISTRIP | BRKINT | INPCK | PARMRK), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B921600));
  EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B921600));

  LineSettings back;
  back.dtrControl = LineControl::kEnable;
  ReadTermios(t, back);
  EXPECT_EQ(back.baudRate, 921600u);
  EXPECT_EQ(back.byteSize, c.byteSize);
  EXPECT_EQ(back.parity, c.parity);
  EXPECT_EQ(back.stopBits, c.stopBits);
  EXPECT_TRUE(back.binary);
  EXPECT_EQ(back.dtrControl, LineControl::kEnable) << "modem lines are not in termios";
}

std::vector<FormatCase> FormatCases() {
  std::vector<FormatCase> cases = {
      {"8N1", 8, Parity::kNone, StopBits::kOne, CS8},
      {"8N2", 8, Parity::kNone, StopBits::kTwo, CS8 | CSTOPB},
      {"7E1", 7, Parity::kEven, StopBits::kOne, CS7 | PARENB},
      {"7O2", 7, Parity::kOdd, StopBits::kTwo, CS7 | PARENB | PARODD | CSTOPB},
      {"6E1", 6, Parity::kEven, StopBits::kOne, CS6 | PARENB},
      {"5N1", 5, Parity::kNone, StopBits::kOne, CS5},
      {"5N1_5", 5, Parity::kNone, StopBits::kOnePointFive, CS5 | CSTOPB},
  };
#ifdef CMSPAR
  cases.push_back({"8M1", 8, Parity::kMark, StopBits::kOne, CS8 | PARENB | CMSPAR | PARODD});
  cases.push_back({"8S1", 8, Parity::kSpace, StopBits::kOne, CS8 | PARENB | CMSPAR});
#endif
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Formats, TermiosFormatTest, ::testing::ValuesIn(FormatCases()),
                         [](const ::testing::TestParamInfo<FormatCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(TermiosSettings, CookedLineIsNotBinary) {
  LineSettings s;
  ReadTermios(CookedTermios(), s);
  EXPECT_FALSE(s.binary);
  EXPECT_EQ(s.baudRate, 9600u);
  EXPECT_EQ(s.byteSize, 7);
  EXPECT_EQ(s.parity, Parity::kOdd);
  EXPECT_EQ(s.stopBits, StopBits::kTwo);
}

TEST(TermiosSettings, RefusedSettingsLeaveTheRecordUntouched) {
  for (const auto& c : zv::testing::kRefusedLines) {
    const LineSettings s = c.Applied(LineSettings{});
    const termios before = CookedTermios();
    termios t = before;
    const PortError e = MakeRawTermios(s, "/dev/ttyS3", t);
    EXPECT_EQ(e.kind, PortErrorKind::kInvalidArgument) << c.what;
    EXPECT_EQ(e.message.rfind("tcsetattr /dev/ttyS3: ", 0), 0u) << e.message;
    EXPECT_EQ(std::memcmp(&t, &before, sizeof t), 0) << c.what;
  }
}

TEST(TermiosSettings, BaudRatesMapBothWays) {
  for (const uint32_t rate : {9600u, 19200u, 38400u, 57600u, 115200u, 230400u, 460800u, 921600u}) {
    speed_t speed = B0;
    ASSERT_TRUE(SpeedFromBaudRate(rate, speed)) << rate;
    EXPECT_EQ(BaudRateFromSpeed(speed), rate);
  }
  speed_t speed = B0;
  EXPECT_FALSE(SpeedFromBaudRate(921601, speed));
  EXPECT_EQ(BaudRateFromSpeed(B0), 0u);
}

TEST(TermiosSettings, SameLineFormatSeesWhatADriverKeptBack) {
  LineSettings s;
  s.baudRate = 115200;
  s.byteSize = 8;
  s.parity = Parity::kEven;
  termios asked = CookedTermios();
  ASSERT_TRUE(MakeRawTermios(s, "p", asked).ok());
  EXPECT_TRUE(SameLineFormat(asked, asked));

  termios dropped = asked;  // parity quietly dropped, as a pseudo-terminal does
  dropped.c_cflag &= ~static_cast<tcflag_t>(PARENB);
  EXPECT_FALSE(SameLineFormat(asked, dropped));

  termios slower = asked;
  cfsetospeed(&slower, B9600);
  EXPECT_FALSE(SameLineFormat(asked, slower));

  termios otherFlags = asked;  // flags outside the format do not matter
  otherFlags.c_cflag ^= HUPCL;
  otherFlags.c_lflag |= ECHO;
  EXPECT_TRUE(SameLineFormat(asked, otherFlags));

  // Without parity, the parity kind bits carry no meaning.
  s.parity = Parity::kNone;
  termios none = CookedTermios();
  ASSERT_TRUE(MakeRawTermios(s, "p", none).ok());
  termios noneOdd = none;
  noneOdd.c_cflag |= PARODD;
  EXPECT_TRUE(SameLineFormat(none, noneOdd));
}

}  // namespace
}  // namespace zv
