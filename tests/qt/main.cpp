// The Qt tests need one QApplication for the whole run; they draw off screen, so they run the
// same on a desktop, in a terminal and on CI.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

QtMessageHandler previousHandler = nullptr;

// The off-screen platform says so for every window that is raised; that is no news here.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("This plugin does not support"))) return;
  if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

#if defined(__SANITIZE_THREAD__)
// Qt is not built for the thread checker: the memory its own threads (its thread pool, the
// file dialog's gatherer) hand over through its locks would be reported as races. Accesses
// made from our instrumented code are still checked.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  previousHandler = qInstallMessageHandler(QuietMessages);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
