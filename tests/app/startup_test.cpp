// The whole start-up: the application object runs the main window on a window thread of its
// own until Esc or the close box ends it, and the program then ends.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "app/orvik_app.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/headless_view.h"
#include "platform/clock.h"
#include "platform/scripted_port.h"

namespace {

bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 500; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class StartUp : public ::testing::TestWithParam<zfw::InputEvent::Kind> {};

TEST_P(StartUp, RunsTheWindowUntilItIsClosed) {
  COrvikApp app;
  zfw::HeadlessView view;
  zv::SteadyClock clock;
  zv::ScriptedSerialBackend ports;
  zv::FixedPortTable table;
  app.m_portAccess = PortAccess{&ports, &table, {}};
  zfw::SetEnvironment(zfw::Environment{&view, &clock});

  auto done = std::async(std::launch::async, [] { return AfxWinMain("/usr/local/bin/zentrova"); });
  ASSERT_TRUE(WaitFor([&] { return view.Visible(); }));
  EXPECT_EQ(app.m_pszAppName.str(), "zentrova") << "named after the executable";
  EXPECT_EQ(app.m_dwRestartManagerSupportFlags, AFX_RESTART_MANAGER_SUPPORT_RESTART);
  EXPECT_EQ(view.Title(), "Zentrova");
  EXPECT_EQ(view.Icon(), IDR_MAINFRAME);
  ASSERT_TRUE(WaitFor([&] { return view.Shown(IDC_LANGUAGE)->text == "РУС/eng"; }));

  // Enter does not close the window; the language toggle works from the view's thread.
  zfw::InputEvent enter;
  enter.kind = zfw::InputEvent::Kind::kEnter;
  view.Input(enter);
  zfw::InputEvent click;
  click.kind = zfw::InputEvent::Kind::kClick;
  click.id = IDC_LANGUAGE;
  view.Input(click);
  ASSERT_TRUE(WaitFor([&] { return view.Shown(IDC_LANGUAGE)->text == "рус/ENG"; }));
  EXPECT_TRUE(view.Visible());

  zfw::InputEvent close;
  close.kind = GetParam();
  view.Input(close);
  ASSERT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(done.get(), 0);
  EXPECT_FALSE(view.Visible());
  EXPECT_EQ(app.m_pMainWnd, nullptr);
  EXPECT_TRUE(view.MessageBoxes().empty());
  zfw::SetEnvironment(zfw::Environment{});
}

INSTANTIATE_TEST_SUITE_P(EscAndCloseBox, StartUp,
                         ::testing::Values(zfw::InputEvent::Kind::kEscape, zfw::InputEvent::Kind::kClose));

}  // namespace
