// zentrova-sim: the simulated battery logger on a pseudo-terminal.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/command_line.h"
#include "sim/device.h"
#include "sim/pty_server.h"

namespace {

int PrintRegisters(const zv::sim::CommandLine& cl) {
  zv::SteadyClock clock;
  zv::sim::SimDevice device(cl.server.device, clock);
  const zv::sim::MeasurementRegisters regs = device.Measurement();
  for (std::size_t i = 0; i < regs.size(); ++i) std::printf("[%zu]: \t0x%04X\n", i, regs[i]);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  zv::sim::CommandLine cl;
  std::string error;
  if (!zv::sim::ParseCommandLine(args, cl, error)) {
    std::fprintf(stderr, "zentrova-sim: %s\nTry 'zentrova-sim --help'.\n", error.c_str());
    return 2;
  }
  if (cl.help) {
    std::fputs(zv::sim::UsageText().c_str(), stdout);
    return 0;
  }
  if (cl.printRegisters) return PrintRegisters(cl);

  std::ofstream logFile;
  if (cl.logPath == "-") {
    cl.server.log = &std::cerr;
  } else if (!cl.logPath.empty()) {
    logFile.open(cl.logPath, std::ios::out | std::ios::trunc);
    if (!logFile) {
      std::fprintf(stderr, "zentrova-sim: cannot write the log %s: %s\n", cl.logPath.c_str(), std::strerror(errno));
      return 1;
    }
    cl.server.log = &logFile;
  }

  // The server thread inherits this mask, so the signals reach only sigwait below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  zv::sim::SimServer server(cl.server);
  if (!server.Start(&error)) {
    std::fprintf(stderr, "zentrova-sim: cannot open a pseudo-terminal: %s\n", error.c_str());
    return 1;
  }
  if (!cl.linkPath.empty()) {
    struct stat st {};
    if (::lstat(cl.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(cl.linkPath.c_str());
    if (::symlink(server.PortName().c_str(), cl.linkPath.c_str()) != 0) {
      std::fprintf(stderr, "zentrova-sim: cannot make the link %s: %s\n", cl.linkPath.c_str(), std::strerror(errno));
      server.Stop();
      return 1;
    }
  }
  std::printf("%s\n", server.PortName().c_str());
  std::fflush(stdout);

  int sig = 0;
  while (sigwait(&stopSignals, &sig) != 0) {
  }
  server.Stop();
  if (!cl.linkPath.empty()) ::unlink(cl.linkPath.c_str());
  return 0;
}
