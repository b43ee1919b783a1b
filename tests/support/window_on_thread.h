// The main window on a window thread of its own, as the program runs it, with a headless view
// standing in for the screen. The test thread plays the person: it sends input through the
// view, reads what the view was shown, and asks the window thread for anything else.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "dialog/orvik_dlg.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/headless_view.h"
#include "platform/clock.h"

namespace ztest {

class WindowOnThread {
 public:
  // Starts the window; returns once it is on screen.
  void Start(const PortAccess& access, zv::IClock& clock) {
    zfw::SetEnvironment(zfw::Environment{&view, &clock});
    std::promise<COrvikDlg*> built;
    auto ready = built.get_future();
    thread_ = std::thread([this, access, &built] {
      COrvikDlg dlg(access);
      built.set_value(&dlg);
      dlg.DoModal();
      std::lock_guard lock(mu_);
      dlg_ = nullptr;
    });
    {
      std::lock_guard lock(mu_);
      dlg_ = ready.get();
    }
    ASSERT_TRUE(WaitFor([&] { return view.Visible(); }));
  }

  // Ends the window with Esc and waits for its thread.
  void Stop() {
    if (!thread_.joinable()) return;
    zfw::InputEvent esc;
    esc.kind = zfw::InputEvent::Kind::kEscape;
    view.Input(esc);
    thread_.join();
    zfw::SetEnvironment(zfw::Environment{});
  }

  ~WindowOnThread() { Stop(); }

  // Runs f on the window thread between two messages and returns its result.
  template <typename F>
  auto OnWindow(F f) -> decltype(f(std::declval<COrvikDlg&>())) {
    using R = decltype(f(std::declval<COrvikDlg&>()));
    auto task = std::make_shared<std::packaged_task<R()>>([this, f] { return f(*dlg_); });
    auto result = task->get_future();
    {
      std::lock_guard lock(mu_);
      if (dlg_ == nullptr) throw std::runtime_error("the window has ended");
      dlg_->PostToWindow([task] { (*task)(); });
    }
    return result.get();
  }

  void Click(int id) { Send(zfw::InputEvent::Kind::kClick, id); }
  void Focus(int id) { Send(zfw::InputEvent::Kind::kFocus, id); }
  void Type(int id, const std::string& text) {
    zfw::InputEvent e;
    e.kind = zfw::InputEvent::Kind::kEditText;
    e.id = id;
    e.text = text;
    view.Input(e);
  }
  void Pick(int index) {
    zfw::InputEvent e;
    e.kind = zfw::InputEvent::Kind::kComboSelect;
    e.id = IDC_PORT;
    e.index = index;
    view.Input(e);
  }
  void DoubleClickBackground() { Send(zfw::InputEvent::Kind::kDoubleClick, 0); }

  std::string Shown(int id) const {
    const auto c = view.Shown(id);
    return c ? c->text : std::string();
  }
  // Waits up to timeout for pred to hold, looking every 10 ms.
  static bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
  bool WaitForText(int id, const std::string& text) {
    return WaitFor([&] { return Shown(id) == text; });
  }

  zfw::HeadlessView view;

 private:
  void Send(zfw::InputEvent::Kind kind, int id) {
    zfw::InputEvent e;
    e.kind = kind;
    e.id = id;
    view.Input(e);
  }

  std::mutex mu_;
  COrvikDlg* dlg_ = nullptr;  // guarded by mu_; lives on the window thread's stack
  std::thread thread_;
};

}  // namespace ztest
