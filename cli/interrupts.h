// Ctrl-C and a polite kill end the long commands at their next step, files closed and the port
// let go: they only set zcli::g_interrupted, which the commands look at between steps.
#pragma once

#include <atomic>
#include <chrono>

namespace zcli {

// Set by the handlers; read by the commands between steps.
extern std::atomic<bool> g_interrupted;

// The main thread's word that the command has ended, its files closed and its port let go,
// for a thread that must not go on before it. Windows ends the process as soon as its
// console-close handler returns, whatever the handler answers: the handler waits for this
// word first, for a bounded time, since the system ends the process anyway a few seconds
// after the console went.
class CleanupSignal {
 public:
  void Done() { done_ = true; }
  // True once Done has been called; false when limit passed first.
  bool WaitDone(std::chrono::milliseconds limit) const;

 private:
  std::atomic<bool> done_{false};  // a plain flag: it may be waited on while the program exits
};

// Given by main once the command's session is gone.
extern CleanupSignal g_cleanedUp;

// Installs the handlers: SIGINT and SIGTERM (and SIGPIPE ignored) on Unix; Ctrl-C, Ctrl-Break
// and the console window closing on Windows.
void CatchInterrupts();

}  // namespace zcli
