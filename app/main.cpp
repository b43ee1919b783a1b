// The entry point of the desktop program: Qt draws on this (the GUI) thread while the
// application and its window run on a window thread of their own.
#include <QApplication>
#include <QMetaObject>
#include <map>
#include <thread>

#include "app/icon.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/qt/qt_view.h"
#include "framework/winapp.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  zfw::QtView view(std::map<HICON, QIcon>{{IDR_MAINFRAME, ZentrovaIcon()}});
  zv::SteadyClock clock;
  const auto serial = zv::MakePosixSerialBackend();
  zfw::SetEnvironment(zfw::Environment{&view, &clock});

  int exitCode = 0;
  std::thread windowThread([&] {
    exitCode = AfxWinMain(argc > 0 ? argv[0] : "zentrova");
    // By name, so no closure built here crosses to the GUI thread behind Qt's own lock.
    QMetaObject::invokeMethod(&qapp, "quit", Qt::QueuedConnection);
  });
  QApplication::exec();
  windowThread.join();
  return exitCode;
}
