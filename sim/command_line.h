// The simulated logger's command line, parsed without regard to the process locale.
#pragma once

#include <string>
#include <vector>

#include "sim/pty_server.h"

namespace zv::sim {

struct CommandLine {
  ServerOptions server;   // pacing on unless --no-pacing; --link lands in server.linkPath
  std::string logPath;    // --log: "-" for standard error
  bool printRegisters = false;
  bool help = false;
};

// Parses the arguments after the program name. Returns false with a one-line message in
// error for an unknown option, a missing or malformed value, or a value out of range.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

std::string UsageText();

}  // namespace zv::sim
