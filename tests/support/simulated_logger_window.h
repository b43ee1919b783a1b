// The window on a window thread of its own against the simulated logger over a pseudo-terminal,
// with a folder for the files it writes. Real time throughout.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog/orvik_dlg.h"
#include "dialog/resource.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/serial_port.h"
#include "sim/pty_server.h"
#include "support/event_log.h"
#include "support/expected_dump.h"
#include "support/window_on_thread.h"

namespace ztest {

class SimulatedLoggerWindow : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(folder.Path().empty()); }
  // Starts the logger and the window: the port table's names, then the logger's port as the
  // last entry of the list.
  void Start(zv::sim::ServerOptions options, std::vector<std::string> tablePorts = {}) {
    server = std::make_unique<zv::sim::SimServer>(options);
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;
    table = zv::FixedPortTable(std::move(tablePorts));
    window.Start(PortAccess{serial.get(), &table, {server->PortName()}}, clock);
  }
  void TearDown() override {
    window.Stop();
    if (server) server->Stop();
  }

  int LoggerEntry() {
    return window.OnWindow([](COrvikDlg& d) { return d.m_portCombo.GetCount() - 1; });
  }
  void English() {
    window.Click(IDC_LANGUAGE);
    ASSERT_TRUE(window.WaitForText(IDC_LANGUAGE, "рус/ENG"));
  }
  std::optional<UINT> Timer(UINT_PTR id) {
    return window.OnWindow([id](COrvikDlg& d) { return d.Loop().TimerPeriod(id); });
  }
  bool LivePollArmedAt(UINT ms) {
    return WindowOnThread::WaitFor([&] { return Timer(COrvikDlg::kTimerLivePoll) == std::optional<UINT>(ms); });
  }
  bool StatusShowed(const std::string& text) const {
    const auto history = window.view.TextHistory(IDC_STATUS);
    return std::find(history.begin(), history.end(), text) != history.end();
  }
  // How many texts the status line has shown; with StatusShowedSince, what came after.
  std::size_t StatusCount() const { return window.view.TextHistory(IDC_STATUS).size(); }
  bool StatusShowedSince(std::size_t from, const std::string& text) const {
    const auto history = window.view.TextHistory(IDC_STATUS);
    return std::find(history.begin() + static_cast<std::ptrdiff_t>(std::min(from, history.size())), history.end(),
                     text) != history.end();
  }
  int Check(int id) const {
    const auto c = window.view.Shown(id);
    return c ? c->check : -1;
  }
  // The file's size, then again after a pause longer than a timer-4 period: whether anything
  // still writes to it.
  static bool StillGrowing(const std::filesystem::path& path) {
    const auto before = std::filesystem::file_size(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    return std::filesystem::file_size(path) != before;
  }
  // The logger behind a link in the folder, which stays its name through an unplug and a replug.
  static void OnALink(zv::sim::ServerOptions& options, const ScratchFolder& in, zv::sim::HotPlugOptions hotPlug = {}) {
    options.linkPath = (in / "logger").string();
    options.hotPlug = hotPlug;
  }
  // The window's events from now on, as lines (support/event_log.h), read on its thread.
  void ObserveEvents() {
    window.OnWindow([this](COrvikDlg& d) { d.AddEventObserver(&events); });
  }
  std::vector<std::string> EventLines() {
    return window.OnWindow([this](COrvikDlg&) { return events.lines; });
  }
  std::size_t EventsStartingWith(const std::string& prefix) {
    const auto lines = EventLines();
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
  }
  std::size_t Boxes() const { return window.view.MessageBoxes().size(); }
  int PortShown() const { return window.view.Shown(IDC_PORT)->curSel; }
  // After an unplug: the one box of the loss, the list on "no", the status saying so.
  void ExpectTheLossShown(const char* box, const char* waiting) {
    ASSERT_TRUE(WindowOnThread::WaitFor([&] { return Boxes() >= 1; }, std::chrono::seconds(30)));
    EXPECT_EQ(window.view.MessageBoxes()[0].text, box);
    EXPECT_TRUE(WindowOnThread::WaitFor([&] { return PortShown() == 0; }));
    EXPECT_TRUE(WindowOnThread::WaitFor([&] { return StatusShowed(waiting); }));
  }

  ScratchFolder folder;
  zv::SteadyClock clock;
  std::unique_ptr<zv::ISerialBackend> serial = zv::MakePosixSerialBackend();
  zv::FixedPortTable table;
  std::unique_ptr<zv::sim::SimServer> server;
  EventLog events;  // declared before the window, which holds it: it outlives the window
  WindowOnThread window;
};

}  // namespace ztest
