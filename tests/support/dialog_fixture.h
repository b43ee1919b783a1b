// A main window built on a headless view, a virtual clock and scripted ports: the window
// thread is the test's own thread, and time moves only when the window waits or the test
// runs the message loop.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dialog/orvik_dlg.h"
#include "framework/environment.h"
#include "framework/headless_view.h"
#include "framework/winapp.h"
#include "platform/clock.h"
#include "platform/scripted_port.h"

namespace ztest {

class DialogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    zfw::SetEnvironment(zfw::Environment{&view, &clock});
    dlg = std::make_unique<COrvikDlg>(PortAccess{&ports, &portTable, {}});
    ASSERT_TRUE(dlg->Create());
  }
  // Builds the window anew over other ports: another table, other names from the command
  // line. What the view recorded of the first window's boxes stays.
  void Rebuild(const PortAccess& access) {
    dlg.reset();
    dlg = std::make_unique<COrvikDlg>(access);
    ASSERT_TRUE(dlg->Create());
  }
  void TearDown() override {
    dlg.reset();
    zfw::SetEnvironment(zfw::Environment{});
  }

  const zfw::ControlState& Control(int id) const { return dlg->Controls().Get(id); }
  const std::string& Text(int id) const { return Control(id).text; }
  // Types text into a field, as the person would.
  static zfw::InputEvent Event(zfw::InputEvent::Kind kind, int id = 0, const std::string& text = {}) {
    zfw::InputEvent e;
    e.kind = kind;
    e.id = id;
    e.text = text;
    return e;
  }
  void Type(int id, const std::string& text) { Input(Event(zfw::InputEvent::Kind::kEditText, id, text)); }
  void Click(int id) { Input(Event(zfw::InputEvent::Kind::kClick, id)); }
  void Focus(int id) { Input(Event(zfw::InputEvent::Kind::kFocus, id)); }
  void Enter() { Input(Event(zfw::InputEvent::Kind::kEnter)); }
  void Input(const zfw::InputEvent& e) {
    view.Input(e);
    dlg->Loop().ProcessPending();
  }
  bool TimerArmed(UINT_PTR id) const { return dlg->Loop().TimerPeriod(id).has_value(); }

  // Adds a port to the list and selects it, as picking it would (without the selection
  // handler's configuration read).
  void SelectPort(const std::string& name) {
    const int index = dlg->m_portCombo.AddString(name.c_str());
    dlg->m_portCombo.SetCurSel(index);
    dlg->m_strPortName = name.c_str();
    dlg->m_pszPortName = dlg->m_strPortName.GetString();
  }

  CWinApp app{"zentrova"};
  zfw::HeadlessView view;
  zv::VirtualClock clock;
  // The ports' waits, timed replies and hang-ups go by the window's clock.
  zv::ScriptedSerialBackend ports{&clock};
  zv::FixedPortTable portTable;
  std::unique_ptr<COrvikDlg> dlg;
};

}  // namespace ztest
