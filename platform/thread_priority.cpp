#include "platform/thread_priority.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace zv {

bool RaiseCurrentThreadPriority() {
#if defined(__linux__)
  // On Linux a thread's nice value is its own: this raises the calling thread only.
  constexpr int kAboveNormal = -5;
  return setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kAboveNormal) == 0;
#elif defined(_WIN32)
  return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL) != 0;
#else
  return false;
#endif
}

}  // namespace zv
