// Scheduling hints for the program's threads.
#pragma once

namespace zv {

// Asks the system to run the calling thread ahead of ordinary ones. False when the system
// refuses (an unprivileged process on Linux may not raise itself): the thread then runs as it
// was, which is fine.
bool RaiseCurrentThreadPriority();

}  // namespace zv
