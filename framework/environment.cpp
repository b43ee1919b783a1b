#include "framework/environment.h"

namespace zfw {
namespace {
Environment g_env;
}

Environment& CurrentEnvironment() { return g_env; }
void SetEnvironment(const Environment& env) { g_env = env; }

}  // namespace zfw
