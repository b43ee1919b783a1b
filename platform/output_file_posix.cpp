// The files of rows on POSIX systems: one writer each by an exclusive flock, taken before the
// file is emptied so that a refused create leaves the holder's rows alone.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errno_text.h"
#include "platform/output_file.h"

namespace zv {

namespace {

std::string Reason(const std::string& operation, const std::string& path, int err) {
  return operation + " " + path + ": " + ErrnoText(err != 0 ? err : EIO);
}

// Takes the file for this writer alone. Devices (/dev/null and the like) are not the
// program's files and take any number of writers.
bool TakeAlone(int fd, const std::string& path, std::string& error) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = Reason("create", path, errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) return true;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    error = errno == EWOULDBLOCK ? "create " + path + ": " + kFileInUse : Reason("create", path, errno);
    return false;
  }
  if (::ftruncate(fd, 0) != 0) {
    error = Reason("create", path, errno);
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& path, std::string& error) {
  // No O_TRUNC: the file is emptied only once it is ours.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = Reason("create", path, errno);
    return nullptr;
  }
  if (!TakeAlone(fd, path, error)) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<OutputFile>(new OutputFile(fd, path));
}

OutputFile::~OutputFile() { ::close(static_cast<int>(handle_)); }

bool OutputFile::Write(std::string_view data, std::string& error) {
  const int fd = static_cast<int>(handle_);
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = Reason("write", path_, n < 0 ? errno : EIO);
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace zv
