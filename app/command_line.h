// The desktop program's own options. Options it does not know that start with a single dash
// are left for Qt (-platform, -style, ...).
#pragma once

#include <string>
#include <vector>

struct AppOptions {
  std::vector<std::string> ports;  // --port NAME, in the order given
  bool help = false;               // --help, -h
  bool listPorts = false;          // --list-ports
  std::string view;                // --view FILE: the chart window on a file, not the main window
  std::vector<std::string> rest;   // what is left for Qt, the program's name first
};

// Reads the arguments (argv[0] included). False with a one-line reason in error for an
// option it cannot take: an unknown "--" option, or --port or --view without a name.
bool ParseAppOptions(const std::vector<std::string>& args, AppOptions& options, std::string& error);

// What --help prints.
std::string AppUsageText();
