#include "framework/qt/chart/plot_file.h"

#include <QApplication>
#include <memory>

#include "framework/qt/chart/chart_plot.h"

namespace zch {

namespace {

// The application lives for the one chart and goes before the program's statics do.
std::unique_ptr<QApplication> EnsureApplication() {
  if (QCoreApplication::instance()) return nullptr;
  // A command line has no display to count on.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "zentrova-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QApplication>(argc, argv);
}

}  // namespace

bool PlotToFile(const zan::Series& series, const zan::Report& report, int language, const std::string& out,
                std::string& error) {
  const auto app = EnsureApplication();
  ChartPlot plot;
  plot.resize(kPlotWidth, kPlotHeight);
  plot.SetLanguage(language);
  // The plot only reads the series, and lets go of it before this returns.
  plot.SetData(std::shared_ptr<const zan::Series>(&series, [](const zan::Series*) {}), report);
  plot.replot();  // lays the axes out, so that the curves are decimated for their width
  plot.ShowAll();
  QString why;
  if (!plot.ExportImage(QString::fromStdString(out), kPlotWidth, kPlotHeight, why)) {
    error = why.toStdString();
    return false;
  }
  return true;
}

}  // namespace zch
