// Makes this process's writes past a file size fail (EFBIG) for as long as it lives, so that
// a row that no longer fits is refused the way a full disk would refuse it.
// Windows has no such limit: there the tests that need it are skipped.
#pragma once

#if !defined(_WIN32)
#include <sys/resource.h>

#include <csignal>
#endif

#include <cstdint>

namespace ztest {

#if defined(_WIN32)

class FileSizeLimit {
 public:
  static constexpr bool kSupported = false;
  explicit FileSizeLimit(std::uintmax_t) {}
  bool Applied() const { return false; }
};

#else

class FileSizeLimit {
 public:
  static constexpr bool kSupported = true;
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // the failed write is told by errno alone
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    applied_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  bool Applied() const { return applied_; }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = SIG_DFL;
  bool applied_ = false;
};

#endif

}  // namespace ztest
