// What the window layer is given by the program's entry point (or a test): the view that shows
// the windows and the clock. One environment is current at a time. How a window reaches its
// devices is its own business and is handed to it directly.
#pragma once

namespace zv {
class IClock;
}  // namespace zv

namespace zfw {

class IView;

struct Environment {
  IView* view = nullptr;
  zv::IClock* clock = nullptr;
};

// The current environment; the entry point or the test sets it before any window is built.
Environment& CurrentEnvironment();
void SetEnvironment(const Environment& env);

}  // namespace zfw
