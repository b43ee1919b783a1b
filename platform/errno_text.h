// The system's text for an error number.
#pragma once

#include <string>

namespace zv {

// The text for err, in English whatever locale the process has chosen (a GUI toolkit usually
// switches to the user's locale at start-up). Thread-safe.
std::string ErrnoText(int err);

}  // namespace zv
