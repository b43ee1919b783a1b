#include <cerrno>
#include <ostream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform/serial_port.h"

namespace zv {
namespace {

struct ErrnoCase {
  const char* name;
  int err;
  PortErrorKind kind;
};

void PrintTo(const ErrnoCase& c, std::ostream* os) { *os << c.name; }

class ErrorFromErrnoTest : public ::testing::TestWithParam<ErrnoCase> {};

TEST_P(ErrorFromErrnoTest, MapsKindAndKeepsCode) {
  const ErrnoCase c = GetParam();
  const PortError e = ErrorFromErrno(c.err, "open", "/dev/ttyUSB0");
  EXPECT_EQ(e.kind, c.kind) << "errno " << c.err << " gave " << PortErrorKindName(e.kind);
  EXPECT_EQ(e.code, c.err);
  EXPECT_FALSE(e.ok());
  EXPECT_EQ(e.message.rfind("open /dev/ttyUSB0: ", 0), 0u) << e.message;
  EXPECT_GT(e.message.size(), std::string("open /dev/ttyUSB0: ").size()) << e.message;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ErrorFromErrnoTest,
    ::testing::Values(ErrnoCase{"ENOENT", ENOENT, PortErrorKind::kNotFound},
                      ErrnoCase{"ENODEV", ENODEV, PortErrorKind::kNotFound},
                      ErrnoCase{"ENXIO", ENXIO, PortErrorKind::kNotFound},
                      ErrnoCase{"EBUSY", EBUSY, PortErrorKind::kBusy},
                      ErrnoCase{"EAGAIN", EAGAIN, PortErrorKind::kBusy},
                      ErrnoCase{"EWOULDBLOCK", EWOULDBLOCK, PortErrorKind::kBusy},
                      ErrnoCase{"EACCES", EACCES, PortErrorKind::kPermissionDenied},
                      ErrnoCase{"EPERM", EPERM, PortErrorKind::kPermissionDenied},
                      ErrnoCase{"ENOTTY", ENOTTY, PortErrorKind::kNotSupported},
                      ErrnoCase{"EINVAL", EINVAL, PortErrorKind::kInvalidArgument},
                      ErrnoCase{"EBADF", EBADF, PortErrorKind::kClosed},
                      ErrnoCase{"EIO", EIO, PortErrorKind::kIo},
                      ErrnoCase{"EISDIR", EISDIR, PortErrorKind::kIo},
                      ErrnoCase{"ETIMEDOUT", ETIMEDOUT, PortErrorKind::kIo},
                      ErrnoCase{"zero", 0, PortErrorKind::kIo},       // called after a failure
                      ErrnoCase{"unknown", 99999, PortErrorKind::kIo}),  // no text for it
    [](const ::testing::TestParamInfo<ErrnoCase>& info) { return std::string(info.param.name); });

TEST(ErrorFromErrno, MessageNamesOperationPortAndCause) {
  EXPECT_EQ(ErrorFromErrno(ENOENT, "open", "/dev/ttyUSB0").message,
            "open /dev/ttyUSB0: No such file or directory");
  EXPECT_EQ(ErrorFromErrno(EIO, "read", "/dev/ttyACM1").message, "read /dev/ttyACM1: Input/output error");
  EXPECT_EQ(ErrorFromErrno(EBUSY, "open", "/dev/ttyS0").message,
            "open /dev/ttyS0: Device or resource busy");
}

TEST(ErrorFromErrno, MessageWithoutPortOrOperationHasNoStrayBlanks) {
  EXPECT_EQ(ErrorFromErrno(EIO, "poll", "").message, "poll: Input/output error");
  EXPECT_EQ(ErrorFromErrno(EIO, "", "").message, "Input/output error");
}

TEST(PortErrorKindName, EveryKindHasItsOwnStableName) {
  const std::pair<PortErrorKind, std::string> table[] = {
      {PortErrorKind::kNone, "none"},
      {PortErrorKind::kNotFound, "not-found"},
      {PortErrorKind::kBusy, "busy"},
      {PortErrorKind::kPermissionDenied, "permission-denied"},
      {PortErrorKind::kNotSupported, "not-supported"},
      {PortErrorKind::kInvalidArgument, "invalid-argument"},
      {PortErrorKind::kClosed, "closed"},
      {PortErrorKind::kHangUp, "hang-up"},
      {PortErrorKind::kIo, "io"},
  };
  std::set<std::string> seen;
  for (const auto& [kind, name] : table) {
    EXPECT_EQ(PortErrorKindName(kind), name);
    seen.insert(PortErrorKindName(kind));
  }
  EXPECT_EQ(seen.size(), std::size(table));
}

TEST(PortError, DefaultIsOk) {
  const PortError e;
  EXPECT_TRUE(e.ok());
  EXPECT_EQ(e.code, 0);
  EXPECT_TRUE(e.message.empty());
}

}  // namespace
}  // namespace zv
