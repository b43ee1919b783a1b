// The live chart of the desktop program: readings the main window tells its observers of, on
// its window thread, reach the chart window on the GUI thread, which opens on the window's
// request and shows the whole or the last minutes as readings come.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/live_chart.h"
#include "dialog/orvik_dlg.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/qt/chart/chart_window.h"
#include "framework/qt/qt_view.h"
#include "framework/winapp.h"
#include "link/crc16.h"
#include "platform/clock.h"
#include "platform/scripted_port.h"
#include "qt_test_support.h"

namespace {

using zfw::testing::OnWindowThread;
using zfw::testing::ProcessUntil;

double Stamp(const std::string& text) {
  double t = zan::kUndated;
  EXPECT_TRUE(zan::ParseStamp(text.data(), text.data() + text.size(), t)) << text;
  return t;
}

zv::Measurement At(int year, int month, int day, int hour, int minute, float seconds, float volts = 12.0f,
                   float amps = -2.0f) {
  zv::Measurement m;
  m.time = zv::DeviceTime{year, month, day, hour, minute, seconds};
  m.voltage = volts;
  m.current = amps;
  m.power = volts * amps;
  m.charge = 1.5f;
  return m;
}

TEST(LiveChartSample, TakesTheLoggersTimeByTheFilesRules) {
  struct Case {
    zv::Measurement m;
    double t;  // kUndated for none
  };
  const std::vector<Case> cases = {
      {At(2015, 3, 7, 14, 5, 9.5f), Stamp("07_03_2015 14:05:09,50")},
      {At(2024, 2, 29, 23, 59, 59.99f), Stamp("29_02_2024 23:59:59,99")},
      {At(2015, 3, 7, 14, 5, 60.25f), Stamp("07_03_2015 14:06:00,25")},  // a leap second's stamp
      {At(2023, 2, 29, 0, 0, 0.0f), zan::kUndated},                       // no such day
      {At(2015, 13, 1, 0, 0, 0.0f), zan::kUndated},
      {At(1999, 12, 31, 23, 0, 0.0f), zan::kUndated},                     // before the logger's epoch
      {At(2015, 3, 7, 24, 0, 0.0f), zan::kUndated},
      {At(2015, 3, 7, 0, 0, -1.0f), zan::kUndated},
  };
  for (const Case& c : cases) {
    const zan::Sample s = SampleOf(c.m);
    if (zan::IsDated(c.t)) {
      EXPECT_DOUBLE_EQ(s.t, c.t) << c.m.time.year << "-" << c.m.time.month << "-" << c.m.time.day;
    } else {
      EXPECT_FALSE(zan::IsDated(s.t)) << c.m.time.year << "-" << c.m.time.month << "-" << c.m.time.day;
    }
    EXPECT_FLOAT_EQ(s.voltage, c.m.voltage);
    EXPECT_FLOAT_EQ(s.current, c.m.current);
    EXPECT_FLOAT_EQ(s.power, c.m.power);
    EXPECT_FLOAT_EQ(s.counter, c.m.charge);
  }
}

// The chart's front end alone: a thread of the test's stands in for the window thread.
class LiveChartOnQt : public ::testing::Test {
 protected:
  // A reading every ten seconds from 10:00:00 on 1 March 2025, for `minutes` minutes.
  void SendMinutes(int fromSecond, int minutes) {
    OnWindowThread([&] {
      for (int t = fromSecond; t < fromSecond + 60 * minutes; t += 10) {
        chart.OnMeasurement(At(2025, 3, 1, 10 + t / 3600, t / 60 % 60, static_cast<float>(t % 60)));
      }
      return 0;
    });
  }
  void Open(int language) {
    OnWindowThread([&] {
      view.OpenChart(language);
      return 0;
    });
    ASSERT_TRUE(ProcessUntil([&] {
      return chart.Window() != nullptr && chart.Window()->isVisible() && chart.Window()->Language() == language;
    }));
  }
  std::size_t Samples() { return chart.Window()->Shown()->samples.size(); }
  void ChooseSpan(int index) {
    QComboBox* box = chart.Window()->liveSpanBox();
    box->setCurrentIndex(index);
    emit box->activated(index);  // the person's pick
  }

  const double start = Stamp("01_03_2025 10:00:00,00");
  zfw::QtView view;
  LiveChart chart{view};
};

TEST_F(LiveChartOnQt, KeepsEveryReadingSinceTheStartAndOpensOnTheRequestOnly) {
  SendMinutes(0, 20);
  zfw::testing::Drain();
  EXPECT_EQ(chart.Window(), nullptr) << "no chart before the person asks for one";

  Open(1);
  zch::ChartWindow* window = chart.Window();
  ASSERT_EQ(Samples(), 120u) << "the readings from before the chart opened are all there";
  EXPECT_DOUBLE_EQ(window->Shown()->samples.front().t, start);
  EXPECT_DOUBLE_EQ(window->Shown()->samples.back().t, start + 1190);
  EXPECT_FLOAT_EQ(window->Shown()->samples.back().voltage, 12.0f);
  EXPECT_EQ(window->windowTitle(), "Zentrova");
  EXPECT_EQ(window->LiveSpan(), 0);
  EXPECT_DOUBLE_EQ(window->Plot()->ViewFrom(), start);
  EXPECT_NEAR(window->Plot()->ViewTo(), start + 1190, 1e-3);

  SendMinutes(1200, 1);
  ASSERT_TRUE(ProcessUntil([&] { return Samples() == 126u; })) << "readings after the opening come too";
  EXPECT_NEAR(window->Plot()->ViewTo(), start + 1250, 1e-3) << "the whole view follows the newest";
  EXPECT_DOUBLE_EQ(window->Plot()->ViewFrom(), start);

  Open(0);
  EXPECT_EQ(chart.Window(), window) << "a second request raises the same window";
  EXPECT_EQ(window->Language(), 0);
  EXPECT_EQ(Samples(), 126u);
}

TEST_F(LiveChartOnQt, TheLastMinutesShowTheirSpanAndFollowTheNewReadings) {
  SendMinutes(0, 20);
  Open(1);
  ASSERT_EQ(Samples(), 120u);
  const double newest = start + 1190;
  struct Case {
    int index;
    int minutes;
  };
  // Twenty minutes of readings: the last hour is all of them.
  for (const Case c : {Case{1, 1}, Case{2, 5}, Case{3, 15}, Case{4, 60}}) {
    ChooseSpan(c.index);
    EXPECT_EQ(chart.Window()->LiveSpan(), c.minutes);
    EXPECT_NEAR(chart.Window()->Plot()->ViewFrom(), std::max(start, newest - 60.0 * c.minutes), 1e-3) << c.minutes;
    EXPECT_NEAR(chart.Window()->Plot()->ViewTo(), newest, 1e-3) << c.minutes;
  }

  ChooseSpan(2);
  SendMinutes(1200, 2);
  ASSERT_TRUE(ProcessUntil([&] { return Samples() == 132u; }));
  EXPECT_NEAR(chart.Window()->Plot()->ViewTo(), start + 1310, 1e-3) << "five minutes up to the newest";
  EXPECT_NEAR(chart.Window()->Plot()->ViewFrom(), start + 1310 - 300, 1e-3);

  // Dragged back in time, the view stays there as readings come.
  chart.Window()->Plot()->SetView(start + 100, start + 400);
  SendMinutes(1320, 1);
  ASSERT_TRUE(ProcessUntil([&] { return Samples() == 138u; }));
  EXPECT_NEAR(chart.Window()->Plot()->ViewFrom(), start + 100, 1e-3);
  EXPECT_NEAR(chart.Window()->Plot()->ViewTo(), start + 400, 1e-3);

  ChooseSpan(0);
  EXPECT_DOUBLE_EQ(chart.Window()->Plot()->ViewFrom(), start);
  EXPECT_NEAR(chart.Window()->Plot()->ViewTo(), start + 1370, 1e-3);
}

TEST_F(LiveChartOnQt, TheSpanChoiceSpeaksTheWindowsLanguage) {
  Open(0);
  QComboBox* box = chart.Window()->liveSpanBox();
  ASSERT_EQ(box->count(), 5);
  EXPECT_TRUE(box->isVisible()) << "the live view offers the choice";
  EXPECT_EQ(box->itemText(0), "Всё время");
  EXPECT_EQ(box->itemText(2), "Последние 5 мин");
  ChooseSpan(3);
  chart.Window()->languageAction()->trigger();
  EXPECT_EQ(box->itemText(0), "Whole time");
  EXPECT_EQ(box->itemText(3), "Last 15 min");
  EXPECT_EQ(chart.Window()->LiveSpan(), 15) << "the choice stays";
}

TEST_F(LiveChartOnQt, TheTitleNamesTheLoggerOnceTheWindowKnowsIt) {
  Open(1);
  EXPECT_EQ(chart.Window()->windowTitle(), "Zentrova");
  zv::OperationEnd end;
  end.operation = zv::Operation::kConfigurationRead;
  end.result = zv::Result::kDone;
  end.configuration = zv::LoggerConfiguration{};
  end.configuration->identity.deviceName = "Zentrova-24 N00123";
  OnWindowThread([&] {
    chart.OnOperationEnded(end);
    return 0;
  });
  EXPECT_TRUE(ProcessUntil([&] { return chart.Window()->windowTitle() == "Zentrova — Zentrova-24 N00123"; }));

  zv::LoggerIdentity back;
  back.deviceName = "Zentrova-12 N00007";
  OnWindowThread([&] {
    chart.OnLoggerBack(back);
    return 0;
  });
  EXPECT_TRUE(ProcessUntil([&] { return chart.Window()->windowTitle() == "Zentrova — Zentrova-12 N00007"; }));
}

// A register reply of the logger: address, code, byte count, registers high byte first, CRC.
std::vector<uint8_t> RegisterReply(uint8_t code, const std::vector<uint16_t>& registers) {
  std::vector<uint8_t> f{0x01, code, static_cast<uint8_t>(2 * registers.size())};
  for (uint16_t r : registers) {
    f.push_back(static_cast<uint8_t>(r >> 8));
    f.push_back(static_cast<uint8_t>(r & 0xFF));
  }
  const uint16_t crc = zv::Crc16ModbusBytes(f.data(), f.size());
  f.push_back(static_cast<uint8_t>(crc & 0xFF));
  f.push_back(static_cast<uint8_t>(crc >> 8));
  return f;
}

// The whole way, as the program runs it: the real main window on its window thread polls a
// scripted logger, and its Chart button opens the chart of what it read.
TEST(LiveChartOfTheMainWindow, TheChartButtonOpensTheReadingsOfTheLivePoll) {
  CWinApp app{"zentrova"};
  zv::SteadyClock clock;
  zv::ScriptedSerialBackend ports;
  zv::FixedPortTable table{{"/dev/ttyLOGGER"}};
  zfw::QtView view;
  LiveChart chart(view);
  zfw::SetEnvironment(zfw::Environment{&view, &clock});
  // Version 110, serial 123, 24 V; then 12.00 V and 10.00 A at 14:05:09.5 on 7 March 2015.
  const auto config = RegisterReply(0x64, {110, 123, 50, 300, 24, 33, 0, 0, 0, 0});
  const auto live = RegisterReply(0x04, {0, 0, 1000, 0, 0, 100, 2500, 0, 0, 0, 0, 9500, 14 << 8 | 5, 3 << 8 | 7, 15, 0, 0});
  ports.AddDevice("/dev/ttyLOGGER")->SetResponder([config, live](const std::vector<uint8_t>& request) {
    return zv::ScriptedReply{request.at(1) == 0x64 ? config : live, {}};
  });
  std::atomic<bool> done{false};
  std::thread windowThread([&] {
    COrvikDlg dlg(PortAccess{&ports, &table, {}});
    dlg.AddEventObserver(&chart);
    dlg.DoModal();
    done = true;
  });
  ASSERT_TRUE(ProcessUntil([&] { return view.Window() != nullptr && view.Window()->isVisible(); }));
  auto* combo = static_cast<QComboBox*>(view.Widget(IDC_PORT));
  ASSERT_TRUE(ProcessUntil([&] { return combo->count() == 2; }));
  combo->setCurrentIndex(1);
  emit combo->activated(1);
  ASSERT_TRUE(ProcessUntil([&] { return static_cast<QLabel*>(view.Widget(IDC_STATUS))->text() == "Данные приняты"; }));

  auto* button = static_cast<QAbstractButton*>(view.Widget(IDC_CHART));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), "График");
  button->click();
  ASSERT_TRUE(ProcessUntil([&] { return chart.Window() != nullptr && chart.Window()->isVisible(); }));
  EXPECT_EQ(chart.Window()->Language(), 0);
  EXPECT_EQ(chart.Window()->windowTitle(), "Zentrova — Zentrova-24 N00123");
  ASSERT_TRUE(ProcessUntil([&] { return !chart.Window()->Shown()->samples.empty(); }));
  const zan::Sample first = chart.Window()->Shown()->samples.front();
  EXPECT_DOUBLE_EQ(first.t, Stamp("07_03_2015 14:05:09,50"));
  EXPECT_FLOAT_EQ(first.voltage, 12.0f);
  EXPECT_FLOAT_EQ(first.current, 10.0f);
  EXPECT_FLOAT_EQ(first.power, 120.0f);

  view.Window()->close();
  EXPECT_TRUE(ProcessUntil([&] { return done.load(); }));
  windowThread.join();
  zfw::SetEnvironment(zfw::Environment{});
}

}  // namespace
