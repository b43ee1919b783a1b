// zentrova-cli: the logger's operations from a shell, run by the window's own code.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/session.h"
#include "framework/winapp.h"

namespace {

extern "C" void OnInterrupt(int) { zcli::g_interrupted = true; }

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  zcli::Options options;
  std::string error;
  if (!zcli::ParseOptions(args, options, error)) {
    std::cerr << "zentrova-cli: " << error << "\nTry 'zentrova-cli --help'.\n";
    return 2;
  }
  if (options.help) {
    std::cout << zcli::UsageText(options.command);
    return 0;
  }
  // Ctrl-C and a polite kill end the long commands at their next step, files closed and the
  // port let go.
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  CWinApp app("zentrova-cli");
  zcli::Session session(options, std::cout, std::cerr);
  return session.Run();
}
