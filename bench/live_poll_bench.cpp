// What an idle window costs while it polls a logger: the program's processor time per second
// of wall time while the live poll runs every 300 ms against zentrova-sim, started as a
// process of its own so that only the program is measured. Usage:
//   live_poll_bench [seconds]          (default 20)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "dialog/orvik_dlg.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/headless_view.h"
#include "framework/winapp.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/serial_port.h"
#include "process_support.h"

namespace {

std::size_t Polls(const zfw::HeadlessView& view) {
  // Every poll shows "Запрос", then "Данные приняты".
  return view.TextHistory(IDC_STATUS).size() / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
  std::string port;
  const pid_t sim = zbench::StartSimulator({}, port);
  if (sim <= 0 || port.empty()) {
    std::fprintf(stderr, "live_poll_bench: cannot start %s\n", ZENTROVA_SIM_EXE);
    return 1;
  }

  CWinApp app("zentrova-bench");
  zfw::HeadlessView view;
  zv::SteadyClock clock;
  const auto serial = zv::MakePosixSerialBackend();
  zv::FixedPortTable table;
  zfw::SetEnvironment(zfw::Environment{&view, &clock});
  COrvikDlg dlg(PortAccess{serial.get(), &table, {port}});
  std::thread window([&] { dlg.DoModal(); });
  while (!view.Visible()) std::this_thread::sleep_for(std::chrono::milliseconds(10));

  zfw::InputEvent pick;
  pick.kind = zfw::InputEvent::Kind::kComboSelect;
  pick.id = IDC_PORT;
  pick.index = 1;
  view.Input(pick);
  // Let the configuration read and the first polls settle before measuring.
  std::this_thread::sleep_for(std::chrono::seconds(2));

  const std::size_t polls0 = Polls(view);
  const double cpu0 = zbench::CpuSeconds();
  const auto wall0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpu = zbench::CpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  const std::size_t polls = Polls(view) - polls0;

  zfw::InputEvent esc;
  esc.kind = zfw::InputEvent::Kind::kEscape;
  view.Input(esc);
  window.join();
  kill(sim, SIGTERM);
  waitpid(sim, nullptr, 0);

  std::printf("live poll against zentrova-sim on %s for %.1f s\n", port.c_str(), wall);
  std::printf("  polls answered: %zu (every %.0f ms)\n", polls, polls > 0 ? 1000.0 * wall / static_cast<double>(polls) : 0.0);
  std::printf("  processor time: %.3f s = %.2f %% of one core\n", cpu, 100.0 * cpu / wall);
  std::printf("  last status: %s, voltage %s V\n", view.Shown(IDC_STATUS)->text.c_str(), view.Shown(IDC_VOLTAGE)->text.c_str());
  return 0;
}
