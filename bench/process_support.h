// What the benchmarks share: the process's processor time, and programs started with their
// standard output on a pipe (zentrova-sim, or a fresh copy of the benchmark itself).
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace zbench {

// User and system time of this process so far, in seconds.
inline double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Starts path as argv0 with args, its standard output on a pipe whose reading end goes to
// out. Returns its pid, -1 when it cannot start.
inline pid_t SpawnWithOutput(const char* path, const char* argv0, const std::vector<std::string>& args, int& out) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(argv0));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(path, argv.data());
    _exit(127);
  }
  close(fds[1]);
  out = fds[0];
  return pid;
}

// Starts zentrova-sim with args; returns its pid and fills port with the pseudo-terminal it
// prints first.
inline pid_t StartSimulator(const std::vector<std::string>& args, std::string& port) {
  int out = -1;
  const pid_t pid = SpawnWithOutput(ZENTROVA_SIM_EXE, "zentrova-sim", args, out);
  if (pid < 0) return pid;
  char c = 0;
  while (read(out, &c, 1) == 1 && c != '\n') port.push_back(c);
  close(out);
  return pid;
}

}  // namespace zbench
