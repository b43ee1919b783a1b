// What the live chart adds to the cost of an idle window: the desktop program's main window
// on the Qt view (off screen) polls zentrova-sim every 300 ms, first with the chart closed,
// then with the chart of the live readings open; the program's processor time per second of
// wall time in each. Usage:
//   live_chart_bench [seconds]          (each case; default 20)
#include <signal.h>
#include <sys/wait.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/live_chart.h"
#include "dialog/orvik_dlg.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/qt/chart/chart_window.h"
#include "framework/qt/qt_view.h"
#include "framework/winapp.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/serial_port.h"
#include "process_support.h"

namespace {

// Lets the GUI thread run its event loop, idle as it would be, for ms milliseconds.
void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

template <typename Pred>
bool RunUntil(Pred pred) {
  for (int i = 0; i < 1000 && !pred(); ++i) RunFor(10);
  return pred();
}

// Processor time per second of wall time while the GUI thread idles for seconds.
double CoreShare(int seconds) {
  const double cpu0 = zbench::CpuSeconds();
  const auto wall0 = std::chrono::steady_clock::now();
  RunFor(seconds * 1000);
  const double cpu = zbench::CpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  return cpu / wall;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication qapp(qtArgc, argv);
  std::string port;
  const pid_t sim = zbench::StartSimulator({}, port);
  if (sim <= 0 || port.empty()) {
    std::fprintf(stderr, "live_chart_bench: cannot start %s\n", ZENTROVA_SIM_EXE);
    return 1;
  }

  CWinApp app("zentrova-bench");
  zfw::QtView view;
  LiveChart chart(view);
  zv::SteadyClock clock;
  const auto serial = zv::MakePosixSerialBackend();
  zv::FixedPortTable table;
  zfw::SetEnvironment(zfw::Environment{&view, &clock});
  std::atomic<bool> ended{false};
  std::thread window([&] {
    COrvikDlg dlg(PortAccess{serial.get(), &table, {port}});
    dlg.AddEventObserver(&chart);
    dlg.DoModal();
    ended = true;
  });
  auto* combo = static_cast<QComboBox*>(nullptr);
  if (!RunUntil([&] {
        combo = static_cast<QComboBox*>(view.Widget(IDC_PORT));
        return combo != nullptr && combo->count() == 2;
      })) {
    std::fprintf(stderr, "live_chart_bench: the window shows no port\n");
    return 1;
  }
  combo->setCurrentIndex(1);
  emit combo->activated(1);
  RunFor(2000);  // the configuration read and the first polls

  const double closed = CoreShare(seconds);
  static_cast<QAbstractButton*>(view.Widget(IDC_CHART))->click();
  RunUntil([&] { return chart.Window() != nullptr && chart.Window()->isVisible(); });
  RunFor(2000);
  const double open = CoreShare(seconds);
  const std::size_t samples = chart.Window() != nullptr ? chart.Window()->Shown()->samples.size() : 0;

  view.Window()->close();
  RunUntil([&] { return ended.load(); });
  window.join();
  kill(sim, SIGTERM);
  waitpid(sim, nullptr, 0);

  std::printf("idle window on the Qt view (off screen) polling zentrova-sim on %s, %d s a case\n", port.c_str(), seconds);
  std::printf("  chart closed: %.2f %% of one core\n", 100.0 * closed);
  std::printf("  chart open:   %.2f %% of one core (%zu readings in the chart)\n", 100.0 * open, samples);
  std::printf("  the live chart adds %.2f %% of one core\n", 100.0 * (open - closed));
  return 0;
}
