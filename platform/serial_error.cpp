#include <cerrno>
#include <cstring>
#include <string>

#include "platform/errno_text.h"
#include "platform/serial_port.h"

#if defined(__GLIBC__)
#include <locale.h>
#endif

namespace zv {

namespace {

PortErrorKind KindFromErrno(int err) {
  // EWOULDBLOCK and EAGAIN are the same number on some systems and not on others, so these
  // are tests rather than case labels.
  if (err == ENOENT || err == ENODEV || err == ENXIO) return PortErrorKind::kNotFound;
  if (err == EBUSY || err == EWOULDBLOCK || err == EAGAIN) return PortErrorKind::kBusy;
  if (err == EACCES || err == EPERM) return PortErrorKind::kPermissionDenied;
  if (err == ENOTTY) return PortErrorKind::kNotSupported;
  if (err == EINVAL) return PortErrorKind::kInvalidArgument;
  if (err == EBADF) return PortErrorKind::kClosed;
  return PortErrorKind::kIo;
}

#if !defined(__GLIBC__) && !defined(_WIN32)
// strerror_r comes in two shapes: XSI returns an int and fills the buffer, GNU returns the
// text (which may or may not be the buffer). Overloading on the result picks the right reading.
[[maybe_unused]] std::string FromStrerrorR(int rc, const char* buffer) {
  return rc == 0 ? std::string(buffer) : std::string();
}
[[maybe_unused]] std::string FromStrerrorR(const char* text, const char*) {
  return text != nullptr ? std::string(text) : std::string();
}
#endif

}  // namespace

std::string ErrnoText(int err) {
  std::string text;
#if defined(__GLIBC__)
  // One C locale for the life of the process; newlocale is not repeated per call.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (cLocale != static_cast<locale_t>(0)) {
    const char* s = strerror_l(err, cLocale);
    if (s != nullptr) text = s;
  }
#elif defined(_WIN32)
  // The C runtime's texts are English whatever the user's language.
  char buffer[256] = {};
  if (strerror_s(buffer, sizeof buffer, err) == 0) text = buffer;
#else
  char buffer[256] = {};
  text = FromStrerrorR(strerror_r(err, buffer, sizeof buffer), buffer);
#endif
  if (text.empty()) text = "error " + std::to_string(err);
  return text;
}

PortError MakePortError(PortErrorKind kind, int code, std::string message) {
  PortError error;
  error.kind = kind;
  error.code = code;
  error.message = std::move(message);
  return error;
}

PortError DescribePortError(PortErrorKind kind, int code, const std::string& operation, const std::string& portName,
                            const std::string& why) {
  std::string what = operation;
  if (!portName.empty()) {
    if (!what.empty()) what += ' ';
    what += portName;
  }
  return MakePortError(kind, code, what.empty() ? why : what + ": " + why);
}

PortError ErrorFromErrno(int err, const std::string& operation, const std::string& portName) {
  return DescribePortError(KindFromErrno(err), err, operation, portName,
                           err == 0 ? std::string("unknown error") : ErrnoText(err));
}

const char* PortErrorKindName(PortErrorKind kind) {
  switch (kind) {
    case PortErrorKind::kNone:
      return "none";
    case PortErrorKind::kNotFound:
      return "not-found";
    case PortErrorKind::kBusy:
      return "busy";
    case PortErrorKind::kPermissionDenied:
      return "permission-denied";
    case PortErrorKind::kNotSupported:
      return "not-supported";
    case PortErrorKind::kInvalidArgument:
      return "invalid-argument";
    case PortErrorKind::kClosed:
      return "closed";
    case PortErrorKind::kHangUp:
      return "hang-up";
    case PortErrorKind::kIo:
      return "io";
  }
  return "unknown";
}

}  // namespace zv
