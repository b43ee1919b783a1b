// zentrova-cli: the logger's operations from a shell, run by the window's own code.
#include <iostream>
#include <string>
#include <vector>

#include "cli/interrupts.h"
#include "cli/options.h"
#include "cli/session.h"
#include "framework/winapp.h"

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
  zcli::CatchInterrupts();

  CWinApp app("zentrova-cli");
  int status = 0;
  {
    zcli::Session session(options, std::cout, std::cerr);
    status = session.Run();
  }
  // The session has closed its files and let the port go: a closing console may end us now.
  zcli::g_cleanedUp.Done();
  return status;
}
