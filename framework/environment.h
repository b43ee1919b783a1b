// What the window layer is given by the program's entry point (or a test): the view that shows
// the windows, the clock, and the serial backend. One environment is current at a time.
#pragma once

namespace zv {
class IClock;
class ISerialBackend;
}  // namespace zv

namespace zfw {

class IView;

struct Environment {
  IView* view = nullptr;
  zv::IClock* clock = nullptr;
  zv::ISerialBackend* serial = nullptr;
};

// The current environment; the entry point or the test sets it before any window is built.
Environment& CurrentEnvironment();
void SetEnvironment(const Environment& env);

}  // namespace zfw
