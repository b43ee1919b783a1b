// Ctrl-C and a polite kill end the long commands at their next step, files closed and the port
// let go: they only set zcli::g_interrupted, which the commands look at between steps.
#pragma once

#include <atomic>

namespace zcli {

// Set by the handlers; read by the commands between steps.
extern std::atomic<bool> g_interrupted;

// Installs the handlers: SIGINT and SIGTERM (and SIGPIPE ignored) on Unix; Ctrl-C, Ctrl-Break
// and the console window closing on Windows.
void CatchInterrupts();

}  // namespace zcli
