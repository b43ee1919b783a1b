// The entry point of the desktop program: Qt draws on this (the GUI) thread while the
// application and its window run on a window thread of their own.
#include <QApplication>
#include <QMetaObject>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "app/icon.h"
#include "app/live_chart.h"
#include "app/orvik_app.h"
#include "dialog/port_list.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/qt/chart/chart_window.h"
#include "framework/qt/qt_view.h"
#include "framework/winapp.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "platform/port_table.h"

namespace {

// Prints the port list as the window would fill it, "no" left out.
int PrintPorts(const PortAccess& access) {
  const PortListing listing = ListPorts(access);
  if (!listing.tableRead) std::fprintf(stderr, "zentrova: %s\n", listing.why.c_str());
  for (const std::string& name : listing.names) std::printf("%s\n", name.c_str());
  return listing.tableRead ? 0 : 1;
}

// The chart window alone: no logger, no window thread.
int ViewFile(QApplication& qapp, const std::string& file) {
  zch::ChartWindow window;
  window.setWindowIcon(ZentrovaIcon());
  QString error;
  if (!window.OpenFile(QString::fromStdString(file), error)) {
    std::fprintf(stderr, "zentrova: %s\n", error.toStdString().c_str());
    return 1;
  }
  window.show();
  QApplication::setQuitOnLastWindowClosed(true);
  return qapp.exec();
}

}  // namespace

int main(int argc, char** argv) {
  AppOptions options;
  std::string error;
  if (!ParseAppOptions(std::vector<std::string>(argv, argv + argc), options, error)) {
    std::fprintf(stderr, "zentrova: %s\nTry 'zentrova --help'.\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(AppUsageText().c_str(), stdout);
    return 0;
  }
  const auto table = zv::MakeSystemPortTable();
  if (options.listPorts) return PrintPorts(PortAccess{nullptr, table.get(), options.ports});

  // Qt takes its own options from what is left.
  std::vector<char*> qtArgs;
  for (std::string& a : options.rest) qtArgs.push_back(a.data());
  int qtArgc = static_cast<int>(qtArgs.size());
  qtArgs.push_back(nullptr);
  QApplication qapp(qtArgc, qtArgs.data());
  if (!options.view.empty()) return ViewFile(qapp, options.view);
  QApplication::setQuitOnLastWindowClosed(false);
  // Lets a Wayland desktop find the window's desktop entry, and with it the name and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(ZENTROVA_APP_ID));

  zfw::QtView view(std::map<HICON, QIcon>{{IDR_MAINFRAME, ZentrovaIcon()}});
  zv::SteadyClock clock;
  const auto serial = zv::MakeSystemSerialBackend();
  zfw::SetEnvironment(zfw::Environment{&view, &clock});
  theApp.m_portAccess = PortAccess{serial.get(), table.get(), options.ports};
  LiveChart liveChart(view, ZentrovaIcon());
  theApp.m_eventObservers.push_back(&liveChart);

  int exitCode = 0;
  const std::string exe = argc > 0 ? argv[0] : "zentrova";
  std::thread windowThread([&] {
    exitCode = AfxWinMain(exe.c_str());
    // By name, so no closure built here crosses to the GUI thread behind Qt's own lock.
    QMetaObject::invokeMethod(&qapp, "quit", Qt::QueuedConnection);
  });
  QApplication::exec();
  windowThread.join();
  return exitCode;
}
