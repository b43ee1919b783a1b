#include "pty_client.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace zv::sim::testing {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

bool PtyClient::Open(const std::string& path, std::string* error) {
  Close();
  const auto fail = [&](const char* what) {
    if (error) *error = std::string(what) + " " + path + ": " + std::strerror(errno);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return false;
  };
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return fail("open");
  if (::ioctl(fd_, TIOCEXCL) != 0) return fail("TIOCEXCL");
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) return fail("flock");
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return fail("tcgetattr");
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  ::cfsetispeed(&tio, B921600);
  ::cfsetospeed(&tio, B921600);
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return fail("tcsetattr");
  return true;
}

void PtyClient::Close() {
  if (fd_ < 0) return;
  ::ioctl(fd_, TIOCNXCL);
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

bool PtyClient::Write(const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      return false;
    }
  }
  return true;
}

std::vector<uint8_t> PtyClient::ReadExactly(std::size_t n, int deadlineMs) {
  std::vector<uint8_t> out;
  const int64_t end = NowMs() + deadlineMs;
  uint8_t buf[8192];
  while (out.size() < n) {
    const int64_t left = end - NowMs();
    if (left <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    const ssize_t got = ::read(fd_, buf, std::min(sizeof buf, n - out.size()));
    if (got > 0) {
      out.insert(out.end(), buf, buf + got);
    } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
      break;  // hung up
    }
  }
  return out;
}

std::vector<uint8_t> PtyClient::ReadUntilQuiet(int quietMs, int deadlineMs) {
  std::vector<uint8_t> out;
  const int64_t end = NowMs() + deadlineMs;
  uint8_t buf[8192];
  for (;;) {
    const int64_t left = end - NowMs();
    if (left <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    const int wait = out.empty() ? static_cast<int>(left) : std::min<int>(quietMs, static_cast<int>(left));
    const int r = ::poll(&p, 1, wait);
    if (r == 0 && !out.empty()) break;
    if (r <= 0) continue;
    const ssize_t got = ::read(fd_, buf, sizeof buf);
    if (got > 0) {
      out.insert(out.end(), buf, buf + got);
    } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
      break;
    }
  }
  return out;
}

int PtyClient::Waiting() const {
  int n = 0;
  if (::ioctl(fd_, FIONREAD, &n) != 0) return 0;
  return n;
}

std::vector<uint8_t> Exchange(PtyClient& client, const std::vector<uint8_t>& request, std::size_t replyBytes,
                              int deadlineMs) {
  if (!client.Write(request)) return {};
  return client.ReadExactly(replyBytes, deadlineMs);
}

}  // namespace zv::sim::testing
