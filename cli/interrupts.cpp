#include "cli/interrupts.h"


#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#endif

namespace zcli {

std::atomic<bool> g_interrupted{false};

namespace {

#if defined(_WIN32)
// Runs on a thread the system starts for it; answering TRUE keeps the process alive until the
// command has closed its files and let the port go.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      g_interrupted = true;
      return TRUE;
    default:
      return FALSE;
  }
}
#else
extern "C" void OnInterrupt(int) { g_interrupted = true; }
#endif

}  // namespace

void CatchInterrupts() {
#if defined(_WIN32)
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace zcli
