// zentrova-sim: the simulated battery logger on a pseudo-terminal.
#include <signal.h>

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
  sigset_t signals;
  sigemptyset(&signals);
  for (const int s : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) sigaddset(&signals, s);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  // Every unplug and replug is told on standard error, as well as in the log.
  cl.server.notices = &std::cerr;
  zv::sim::SimServer server(cl.server);
  if (!server.Start(&error)) {
    std::fprintf(stderr, "zentrova-sim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", server.TerminalName().c_str());
  std::fflush(stdout);

  for (;;) {
    int sig = 0;
    if (sigwait(&signals, &sig) != 0) continue;
    if (sig == SIGUSR1) {
      server.Unplug();
    } else if (sig == SIGUSR2) {
      server.Replug();
    } else {
      break;
    }
  }
  server.Stop();
  return 0;
}
