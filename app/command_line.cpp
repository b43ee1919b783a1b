#include "app/command_line.h"

bool ParseAppOptions(const std::vector<std::string>& args, AppOptions& options, std::string& error) {
  options = AppOptions{};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i == 0) {
      options.rest.push_back(a);
    } else if (a == "--help" || a == "-h") {
      options.help = true;
    } else if (a == "--list-ports") {
      options.listPorts = true;
    } else if (a == "--port") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = "--port needs a port name";
        return false;
      }
      options.ports.push_back(args[++i]);
    } else if (a.rfind("--port=", 0) == 0) {
      if (a.size() == 7) {
        error = "--port needs a port name";
        return false;
      }
      options.ports.push_back(a.substr(7));
    } else if (a == "--view" || a.rfind("--view=", 0) == 0) {
      const bool joined = a.size() > 6;
      if (joined ? a.size() == 7 : i + 1 >= args.size() || args[i + 1].empty()) {
        error = "--view needs a file name";
        return false;
      }
      options.view = joined ? a.substr(7) : args[++i];
    } else if (a.rfind("--", 0) == 0) {
      error = "unknown option " + a;
      return false;
    } else {
      options.rest.push_back(a);
    }
  }
  return true;
}

std::string AppUsageText() {
  return "Usage: zentrova [--port NAME]... [--list-ports] [--view FILE] [--help]\n"
         "\n"
         "Zentrova, the desktop companion of the battery data logger.\n"
         "\n"
         "  --port NAME    add a serial port the machine does not list by itself (a pseudo-\n"
         "                 terminal of zentrova-sim or socat, a network serial bridge); such\n"
         "                 names follow the machine's ports in the port list, as given.\n"
         "                 May be repeated.\n"
         "  --list-ports   print the ports the port list would show, one a line, and exit\n"
         "  --view FILE    open the chart window on a recording or memory dump file, with its\n"
         "                 battery test report, instead of the main window\n"
         "  -h, --help     print this help and exit\n"
         "\n"
         "The port list holds the serial devices the kernel lists in /sys/class/tty (USB serial,\n"
         "ACM and real UARTs). Opening a port needs read and write access to it: on most Linux\n"
         "systems, membership of the dialout group.\n";
}
