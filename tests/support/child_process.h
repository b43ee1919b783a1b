// A program run as a child process with its output on pipes, for tests of executables:
// start it, read what it prints, signal it, and collect its exit status.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace ztest {

class ChildProcess {
 public:
  // Starts args[0] (a path, or a name looked up in PATH) with standard input from /dev/null.
  explicit ChildProcess(const std::vector<std::string>& args) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~ChildProcess() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
    if (err_ >= 0) ::close(err_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // Closes the reading end of its standard output, as a reader that has had enough does.
  void CloseOutput() {
    if (out_ >= 0) ::close(out_);
    out_ = -1;
  }
  bool Signal(int sig) { return ::kill(pid_, sig) == 0; }

  // Reads its output for up to ms, or until it closes both pipes.
  void ReadFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (out_ >= 0 || err_ >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return;
      pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
      if (::poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
      Drain(fds[0], out_, stdout_);
      Drain(fds[1], err_, stderr_);
    }
  }
  // Reads until standard output holds a whole line, or ms passes, or it closes its output;
  // returns the first line without its newline (what there is of it when none came whole).
  std::string FirstLine(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (stdout_.find('\n') == std::string::npos && out_ >= 0 && std::chrono::steady_clock::now() < end) {
      ReadFor(20);
    }
    return stdout_.substr(0, stdout_.find('\n'));
  }
  // Reads until stderr holds text, or ms passes.
  bool WaitForError(const std::string& text, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (stderr_.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > end || (out_ < 0 && err_ < 0)) return false;
      ReadFor(20);
    }
    return true;
  }
  // Waits for it to end (killing it after ms) and returns its exit status, 128 + the signal
  // that ended it otherwise.
  int Wait(int ms = 60000) {
    ReadFor(ms);
    if (status_ < 0) {
      int raw = 0;
      if (::waitpid(pid_, &raw, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &raw, 0);
      }
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
    return status_;
  }
  const std::string& Out() const { return stdout_; }
  const std::string& Err() const { return stderr_; }

 private:
  static void Drain(const pollfd& p, int& fd, std::string& into) {
    if (fd < 0 || (p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      into.append(buf, static_cast<std::size_t>(n));
    } else {
      ::close(fd);
      fd = -1;
    }
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  int status_ = -1;
  std::string stdout_;
  std::string stderr_;
};

// Runs a program to its end.
struct Ran {
  int status;
  std::string out;
  std::string err;
};
inline Ran Run(const std::vector<std::string>& args, int ms = 60000) {
  ChildProcess child(args);
  const int status = child.Started() ? child.Wait(ms) : 127;
  return {status, child.Out(), child.Err()};
}

}  // namespace ztest
