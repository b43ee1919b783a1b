#include "app/live_chart.h"

#include <cmath>
#include <string>

#include "framework/numfmt.h"
#include "framework/qt/chart/chart_window.h"
#include "framework/qt/chart/live_feed.h"
#include "framework/qt/qt_view.h"

struct LiveChart::Gui {
  std::shared_ptr<zch::LiveFeed> feed = std::make_shared<zch::LiveFeed>();
  QString device;
  QIcon icon;
  std::unique_ptr<zch::ChartWindow> window;

  void Open(int language) {
    if (!window) {
      window = std::make_unique<zch::ChartWindow>(language);
      if (!icon.isNull()) window->setWindowIcon(icon);
      window->ShowLive(feed, device);
    } else {
      window->SetLanguage(language);
    }
    window->show();
    window->raise();
    window->activateWindow();
  }
};

zan::Sample SampleOf(const zv::Measurement& m) {
  zan::Sample s;
  s.current = m.current;
  s.voltage = m.voltage;
  s.power = m.power;
  s.counter = m.charge;
  // Through the files' own stamp, so that a live reading and the same reading read back from
  // a recording fall on the same second, by the same calendar rules.
  const long hundredths = std::lround(static_cast<double>(m.time.seconds) * 100.0);
  if (hundredths < 0) return s;
  const std::string stamp = zfw::Format("%02d_%02d_%04d %02d:%02d:%ld.%02ld", m.time.day, m.time.month, m.time.year,
                                        m.time.hour, m.time.minute, hundredths / 100, hundredths % 100);
  double t = zan::kUndated;
  if (zan::ParseStamp(stamp.data(), stamp.data() + stamp.size(), t)) s.t = t;
  return s;
}

LiveChart::LiveChart(zfw::QtView& view, QIcon icon) : view_(view), gui_(std::make_shared<Gui>()) {
  gui_->icon = std::move(icon);
  view_.SetChartOpener([gui = gui_](int language) { gui->Open(language); });
}

LiveChart::~LiveChart() { view_.SetChartOpener({}); }

void LiveChart::OnMeasurement(const zv::Measurement& m) {
  view_.PostToGui([gui = gui_, sample = SampleOf(m)] { gui->feed->Push(sample); });
}

void LiveChart::OnLoggerBack(const zv::LoggerIdentity& identity) { Identify(identity); }

void LiveChart::OnOperationEnded(const zv::OperationEnd& end) {
  if (end.operation == zv::Operation::kConfigurationRead && end.result == zv::Result::kDone && end.configuration) {
    Identify(end.configuration->identity);
  }
}

void LiveChart::Identify(const zv::LoggerIdentity& identity) {
  view_.PostToGui([gui = gui_, device = QString::fromStdString(identity.deviceName)] {
    gui->device = device;
    if (gui->window) gui->window->SetDevice(device);
  });
}

zch::ChartWindow* LiveChart::Window() const { return gui_->window.get(); }
