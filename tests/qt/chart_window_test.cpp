// The chart window off screen on a file written here: a rest, then a 2 A discharge at a steady
// 12 V with the logger off for ten minutes in the middle, so that every figure can be worked
// out by hand.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTableWidget>
#include <QWheelEvent>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/decimate.h"
#include "framework/qt/chart/chart_window.h"
#include "qt_test_support.h"

namespace {

namespace fs = std::filesystem;

// Seconds of the file: rest 0..119, discharge from 120 to 3719 without 2001..2599.
constexpr int kRows = 3720;
constexpr int kDischargeFrom = 120;
constexpr int kGapFrom = 2000, kGapTo = 2600;

std::string Stamp(int t) {
  char text[40];
  std::snprintf(text, sizeof text, "01_03_2025 %02d:%02d:%d,00", 10 + t / 3600, t / 60 % 60, t % 60);
  return text;
}

class ChartWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("zentrova-chart-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    file = dir / "test ( N7 ).txt";
    std::ofstream out(file, std::ios::binary);
    out << "Zentrova-24 N7\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n";
    double counter = 0;
    for (int t = 0; t < kRows; ++t) {
      if (t > kGapFrom && t < kGapTo) continue;
      const bool discharge = t >= kDischargeFrom;
      if (discharge) counter -= 2.0 / 3600;
      char row[80];
      std::snprintf(row, sizeof row, " \t%s \t%s \t%.3f\r\n", discharge ? "-2,00" : "0,00", discharge ? "12,00" : "12,80",
                    counter);
      std::string text = row;
      for (char& c : text) c = c == '.' ? ',' : c;
      out << Stamp(t) << text;
    }
  }
  void TearDown() override { fs::remove_all(dir); }

  QString File() const { return QString::fromStdString(file.string()); }

  fs::path dir;
  fs::path file;
};

TEST_F(ChartWindowTest, OpensAFileWholeWithItsReport) {
  zch::ChartWindow window(1);
  QString error;
  ASSERT_TRUE(window.OpenFile(File(), error)) << error.toStdString();
  window.show();
  zfw::testing::Drain();
  EXPECT_EQ(window.windowTitle(), QString("test ( N7 ).txt — Zentrova"));
  const zan::Report& r = window.Report();
  ASSERT_EQ(r.phases.size(), 2u);
  EXPECT_DOUBLE_EQ(window.Plot()->ViewFrom(), *r.start);
  EXPECT_DOUBLE_EQ(window.Plot()->ViewTo(), *r.end);
  QTableWidget* table = window.ReportTable();
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->item(0, 0)->text(), "rest");
  EXPECT_EQ(table->item(1, 0)->text(), "discharge");
  EXPECT_EQ(table->item(1, 3)->text(), QString("%1").arg(2.0 * (kRows - 1 - kDischargeFrom - (kGapTo - kGapFrom)) / 3600, 0, 'f', 3));
  EXPECT_TRUE(window.TotalsText().contains("Gaps: 1")) << window.TotalsText().toStdString();
  // Voltage and current are drawn from the start; power and the counter when asked for.
  EXPECT_GT(window.Plot()->graph(0)->dataCount(), 0);
  EXPECT_GT(window.Plot()->graph(1)->dataCount(), 0);
  EXPECT_FALSE(window.Plot()->graph(2)->visible());
  window.powerAction()->setChecked(true);
  window.counterAction()->setChecked(true);
  EXPECT_TRUE(window.Plot()->graph(2)->visible());
  EXPECT_GT(window.Plot()->graph(2)->dataCount(), 0);
  EXPECT_TRUE(window.Plot()->graph(3)->visible());

  // A file that is not one keeps the chart as it was, and says which line.
  std::ofstream(dir / "bad.txt", std::ios::binary) << "Zentrova-24 N7\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\nx\r\n";
  EXPECT_FALSE(window.OpenFile(QString::fromStdString((dir / "bad.txt").string()), error));
  EXPECT_TRUE(error.contains("line 4")) << error.toStdString();
  EXPECT_EQ(window.windowTitle(), QString("test ( N7 ).txt — Zentrova"));
}

TEST_F(ChartWindowTest, CursorsGiveWhatLiesBetweenThem) {
  zch::ChartWindow window(1);
  QString error;
  ASSERT_TRUE(window.OpenFile(File(), error)) << error.toStdString();
  const double t0 = *window.Report().start;
  const struct {
    double a, b;  // seconds from the file's start, either order
    double seconds, sampled, ah, wh, meanA;
  } cases[] = {
      {0, 100, 100, 100, 0, 0, 0},
      {kDischargeFrom, kDischargeFrom + 1800, 1800, 1800, -1.0, -12.0, -2.0},
      {kDischargeFrom + 1800, kDischargeFrom, 1800, 1800, -1.0, -12.0, -2.0},
      // Across the gap only the sampled seconds count.
      {1900, 2700, 800, 200, -2.0 * 200 / 3600, -24.0 * 200 / 3600, -2.0},
      // Half a step of the rest into the discharge: the trapezoid's mean of 0 and -2 A.
      {kDischargeFrom - 1, kDischargeFrom, 1, 1, -1.0 / 3600, -12.0 / 3600, -1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.a) + " to " + std::to_string(c.b));
    window.Plot()->SetCursors(t0 + c.a, t0 + c.b);
    const zch::SpanFigures f = window.Plot()->Figures();
    EXPECT_NEAR(f.seconds, c.seconds, 1e-6);
    EXPECT_NEAR(f.sampledSeconds, c.sampled, 1e-6);
    EXPECT_NEAR(f.ah, c.ah, 1e-4 * std::max(1.0, std::abs(c.ah)));
    EXPECT_NEAR(f.wh, c.wh, 1e-4 * std::max(1.0, std::abs(c.wh)));
    EXPECT_NEAR(f.meanA, c.meanA, 1e-4);
  }
  window.Plot()->SetCursors(t0 + kDischargeFrom, t0 + kDischargeFrom + 1800);
  EXPECT_EQ(window.FiguresText(), QString::fromUtf8("Δt 1800.00 s   ΔAh -1.0000   ΔWh -12.000   mean I -2.000 A"));

  // The right button puts the first cursor where it is pressed, with Shift the second.
  window.show();
  window.Plot()->replot();
  zfw::testing::Drain();
  zch::ChartPlot* plot = window.Plot();
  const double at = t0 + 1000;
  const QPointF point(plot->xAxis->coordToPixel(zch::ToKey(at)), plot->height() / 2.0);
  const double secondsPerPixel = (plot->ViewTo() - plot->ViewFrom()) / plot->axisRect()->width();
  QMouseEvent first(QEvent::MouseButtonPress, point, plot->mapToGlobal(point), Qt::RightButton, Qt::RightButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(plot, &first);
  EXPECT_NEAR(plot->CursorA(), at, 2 * secondsPerPixel);
  QMouseEvent second(QEvent::MouseButtonPress, point, plot->mapToGlobal(point), Qt::RightButton, Qt::RightButton,
                     Qt::ShiftModifier);
  QCoreApplication::sendEvent(plot, &second);
  EXPECT_NEAR(plot->CursorB(), at, 2 * secondsPerPixel);
  EXPECT_TRUE(window.FiguresText().startsWith(QString::fromUtf8("Δt 0.00 s"))) << window.FiguresText().toStdString();
}

TEST_F(ChartWindowTest, ExportWritesWhatIsShown) {
  zch::ChartWindow window(0);
  QString error;
  ASSERT_TRUE(window.OpenFile(File(), error)) << error.toStdString();
  window.show();
  zfw::testing::Drain();
  const double t0 = *window.Report().start;
  window.Plot()->SetView(t0 + 100, t0 + 199);

  const fs::path png = dir / "chart.png";
  ASSERT_TRUE(window.Export(QString::fromStdString(png.string()), error)) << error.toStdString();
  QImage image(QString::fromStdString(png.string()));
  EXPECT_EQ(image.size(), window.Plot()->size());
  for (const char* name : {"chart.svg", "chart.pdf"}) {
    ASSERT_TRUE(window.Export(QString::fromStdString((dir / name).string()), error)) << name << error.toStdString();
    EXPECT_GT(fs::file_size(dir / name), 1000u) << name;
  }

  // The samples in view, the view's ends included.
  ASSERT_TRUE(window.Export(QString::fromStdString((dir / "view.csv").string()), error)) << error.toStdString();
  std::ifstream csv(dir / "view.csv");
  std::vector<std::string> lines;
  for (std::string line; std::getline(csv, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 1u + 100u);
  EXPECT_EQ(lines[0], "time,current_A,voltage_V,charge_Ah\r");
  EXPECT_EQ(lines[1], "2025-03-01T10:01:40.00,0.000,12.800,0.000\r");
  EXPECT_EQ(lines[21], "2025-03-01T10:02:00.00,-2.000,12.000,-0.001\r");
  EXPECT_EQ(lines[100], "2025-03-01T10:03:19.00,-2.000,12.000,-0.044\r");

  EXPECT_FALSE(window.Export(QString::fromStdString((dir / "chart.bmp").string()), error));
  EXPECT_TRUE(error.contains("chart.bmp")) << error.toStdString();
  EXPECT_FALSE(window.Export(QString::fromStdString((dir / "no" / "such.csv").string()), error));
  EXPECT_TRUE(error.contains("cannot be written")) << error.toStdString();
}

TEST_F(ChartWindowTest, TheLanguageToggleChangesItsCaptions) {
  zch::ChartWindow window(0);
  QString error;
  ASSERT_TRUE(window.OpenFile(File(), error)) << error.toStdString();
  const struct {
    int language;
    const char* open;
    const char* exportAs;
    const char* toggle;
    const char* voltage;
    const char* head;
    const char* kind;
  } captions[] = {
      {0, "Открыть файл…", "Экспорт…", "РУС/eng", "Напряжение, В", "Фаза", "покой"},
      {1, "Open file…", "Export…", "рус/ENG", "Voltage, V", "Phase", "rest"},
      {0, "Открыть файл…", "Экспорт…", "РУС/eng", "Напряжение, В", "Фаза", "покой"},
  };
  for (const auto& c : captions) {
    SCOPED_TRACE(c.language);
    EXPECT_EQ(window.Language(), c.language);
    EXPECT_EQ(window.openAction()->text(), QString::fromUtf8(c.open));
    EXPECT_EQ(window.exportAction()->text(), QString::fromUtf8(c.exportAs));
    EXPECT_EQ(window.languageAction()->text(), QString::fromUtf8(c.toggle));
    EXPECT_EQ(window.Plot()->yAxis->label(), QString::fromUtf8(c.voltage));
    EXPECT_EQ(window.ReportTable()->horizontalHeaderItem(0)->text(), QString::fromUtf8(c.head));
    EXPECT_EQ(window.ReportTable()->item(0, 0)->text(), QString::fromUtf8(c.kind));
    window.languageAction()->trigger();
  }
}

// The live view: readings pushed between the chart's frames (the feed's own test pushes them
// from another thread).
TEST(ChartWindowLive, ReadingsFromAnotherThreadReachTheChartInOrder) {
  zch::ChartWindow window(1);
  auto feed = std::make_shared<zch::LiveFeed>();
  window.ShowLive(feed, "Zentrova-24 N7");
  window.show();
  EXPECT_EQ(window.windowTitle(), QString("Zentrova — Zentrova-24 N7"));
  constexpr int kReadings = 3000;
  const double t0 = 800000000;
  // The window's timer takes them every second; a test need not wait for it.
  for (int i = 0; i < kReadings; ++i) {
    zan::Sample s;
    s.t = t0 + i * 0.3;
    s.current = i < kReadings / 2 ? 0.0f : -3.0f;
    s.voltage = 12.5f;
    feed->Push(s);
    if (i % 500 == 499) {
      window.TakeLive();
      zfw::testing::Drain();
      // A view that shows the end follows it.
      EXPECT_DOUBLE_EQ(window.Plot()->ViewTo(), s.t);
    }
  }
  const double last = t0 + (kReadings - 1) * 0.3;
  EXPECT_DOUBLE_EQ(window.Plot()->ViewFrom(), t0);
  EXPECT_DOUBLE_EQ(window.Plot()->ViewTo(), last);
  window.Plot()->SetCursors(t0 + kReadings / 2 * 0.3, last);
  EXPECT_NEAR(window.Plot()->Figures().ah, -3.0 * (kReadings / 2 - 1) * 0.3 / 3600, 1e-6);
  EXPECT_NEAR(window.Plot()->Figures().meanA, -3.0, 1e-6);
}

// A series built here, too long to draw sample by sample: a second apart, the voltage going
// up and down without a pattern, the logger off for an hour after sample kOffAt.
constexpr std::size_t kOffAt = 66666;

std::shared_ptr<zan::Series> Wavy(std::size_t n) {
  auto s = std::make_shared<zan::Series>();
  std::uint32_t state = 7;
  for (std::size_t i = 0; i < n; ++i) {
    state = state * 1664525u + 1013904223u;
    zan::Sample x;
    x.t = static_cast<double>(i < kOffAt ? i : i + 3600);
    x.voltage = 12 + static_cast<float>(state >> 20) / 4096.0f;
    x.current = static_cast<float>(static_cast<int>(state >> 24) - 128) / 16.0f;
    s->samples.push_back(x);
  }
  return s;
}

// The voltage curve is each column's least and greatest value, as the walk over every sample in
// view finds them, with nothing drawn where the logger was off.
void ExpectColumns(zch::ChartPlot& plot, const zan::Series& s, const std::string& what) {
  const double from = plot.ViewFrom(), to = plot.ViewTo();
  const int columns = plot.axisRect()->width();
  const auto buckets = zan::Decimate(s, zan::Channel::kVoltage, from, to, static_cast<std::size_t>(columns));
  std::vector<std::pair<double, double>> want;
  const double w = (to - from) / columns;
  for (std::size_t i = 0; i < buckets.size(); ++i) {
    if (buckets[i].count == 0) continue;
    const double key = zch::ToKey(from + (static_cast<double>(i) + 0.5) * w);
    want.emplace_back(key, buckets[i].min);
    if (buckets[i].max != buckets[i].min) want.emplace_back(key, buckets[i].max);
  }
  std::vector<std::pair<double, double>> got;
  int breaks = 0;
  for (const QCPGraphData& d : *plot.graph(0)->data()) {
    if (std::isnan(d.value)) ++breaks;
    else got.emplace_back(d.key, d.value);
  }
  EXPECT_EQ(got, want) << what;
  EXPECT_EQ(breaks, from < s.samples[kOffAt - 1].t && to > s.samples[kOffAt].t ? 1 : 0)
      << what;
}

TEST(ChartPlotColumns, TheCurvesAreEachColumnsLeastAndGreatest) {
  auto series = Wavy(200000);
  zch::ChartPlot plot;
  plot.resize(900, 500);
  plot.show();
  plot.replot();  // lays the axes out, so that the curves are made for their width
  plot.SetData(series, zan::Analyse(*series));
  zfw::testing::Drain();
  ASSERT_GT(plot.axisRect()->width(), 100);
  plot.ShowAll();  // made again for the width the axes' labels left
  ExpectColumns(plot, *series, "the whole series");
  const double first = series->samples.front().t, last = series->samples.back().t;
  plot.SetView(first + 1234.5, last - 777.25);
  ExpectColumns(plot, *series, "most of it");
  plot.SetView(first + 70000.3, first + 150000);
  ExpectColumns(plot, *series, "a part after the gap");
  plot.SetView(first + 100, first + 3000);
  ExpectColumns(plot, *series, "a part before the gap");

  // Grown at its end, as the live view grows it: the new samples are drawn as the old.
  plot.ShowAll();
  const auto more = Wavy(230017);
  series->samples.insert(series->samples.end(), more->samples.begin() + 200000, more->samples.end());
  plot.Grow(zan::Analyse(*series));
  ExpectColumns(plot, *series, "grown");
}

// A wheel step draws the chart once: the curves are made anew before the wheel's own drawing,
// and nothing is left queued to draw them a second time.
TEST(ChartPlotColumns, AWheelStepDrawsOnce) {
  auto series = Wavy(200000);
  zch::ChartPlot plot;
  plot.resize(900, 500);
  plot.show();
  plot.replot();  // lays the axes out, so that the curves are made for their width
  plot.SetData(series, zan::Analyse(*series));
  zfw::testing::Drain();
  int draws = 0;
  QObject::connect(&plot, &QCustomPlot::afterReplot, [&] { ++draws; });
  const QPointF at = plot.axisRect()->center();
  const double before = plot.ViewTo() - plot.ViewFrom();
  QWheelEvent wheel(at, plot.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&plot, &wheel);
  zfw::testing::Drain();
  EXPECT_LT(plot.ViewTo() - plot.ViewFrom(), before);
  EXPECT_EQ(draws, 1);
  ExpectColumns(plot, *series, "zoomed by the wheel");
}

}  // namespace
