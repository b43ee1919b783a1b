#include "cli/interrupts.h"

#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#endif

namespace zcli {

std::atomic<bool> g_interrupted{false};
CleanupSignal g_cleanedUp;

bool CleanupSignal::WaitDone(std::chrono::milliseconds limit) const {
  // Polled rather than waited on a condition: the waiter may still be here while the main
  // thread runs the program's exit, and a flag has nothing to tear down under it.
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done_) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

namespace {

#if defined(_WIN32)
// The system gives a closing console's processes 5 s before it ends them (logging off and
// shutting down end them the same way).
constexpr std::chrono::milliseconds kCloseGrace{4500};

// Runs on a thread the system starts for it. Ctrl-C and Ctrl-Break answered TRUE let the
// command end at its next step. A closing console ends the process when this returns, so
// the command is given its next step and its clean-up first.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_interrupted = true;
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      g_interrupted = true;
      g_cleanedUp.WaitDone(kCloseGrace);
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
