// The chart window: a recording or dump file drawn whole, zoomed and dragged along its time,
// two cursors with what lies between them, the file's report beside the chart, and the chart
// or the samples in view written out.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QTableWidget>
#include <QTimer>
#include <memory>

#include "analysis/report.h"
#include "analysis/series.h"
#include "framework/qt/chart/chart_plot.h"
#include "framework/qt/chart/live_feed.h"

namespace zch {

class ChartWindow : public QMainWindow {
 public:
  explicit ChartWindow(int language = 0, QWidget* parent = nullptr);

  // Reads and works out the file and shows it whole; false with the reason in error, the
  // window then keeps what it showed.
  bool OpenFile(const QString& path, QString& error);
  // The live readings from now on, as they come through feed; the title names the logger.
  void ShowLive(std::shared_ptr<LiveFeed> feed, const QString& device);
  // The logger the live view shows, for the title, once the window knows it.
  void SetDevice(const QString& device);
  // Takes what the feed brought (the window's timer does so every second).
  void TakeLive();
  // What the live view shows while it follows the newest reading: every reading (0) or the
  // last minutes; one of LiveSpans(). The choice also sits in the tool bar.
  void SetLiveSpan(int minutes);
  int LiveSpan() const;
  static const std::vector<int>& LiveSpans();
  // By the suffix: .png, .svg, .pdf of the chart as shown, .csv of the samples in view.
  bool Export(const QString& path, QString& error);
  void SetLanguage(int language);  // 0 Russian, 1 English
  int Language() const { return language_; }

  ChartPlot* Plot() { return plot_; }
  QTableWidget* ReportTable() { return table_; }
  QString FiguresText() const { return figures_->text(); }
  QString TotalsText() const { return totals_->text(); }
  const zan::Report& Report() const { return report_; }
  // What is shown: the file's samples, or the live readings taken so far.
  const zan::Series* Shown() const { return series_.get(); }

  // The actions, for the menu and the tests.
  QAction* openAction() { return open_; }
  QAction* exportAction() { return export_; }
  QAction* wholeAction() { return whole_; }
  QAction* powerAction() { return power_; }
  QAction* counterAction() { return counter_; }
  QAction* languageAction() { return toggle_; }
  QComboBox* liveSpanBox() { return span_; }

 private:
  void Captions();
  void FillTable();
  void ShowFigures();
  void FollowLive();
  void ChooseFile();
  void ChooseExport();
  bool WriteCsv(const QString& path, QString& error) const;

  int language_;
  QString path_;
  std::shared_ptr<const zan::Series> series_;
  // The live view: the series grows on this (the GUI) thread only, between frames.
  std::shared_ptr<LiveFeed> feed_;
  std::shared_ptr<zan::Series> live_;
  QString device_;
  QTimer* liveTimer_;
  int ticksSinceReport_ = 0;
  double liveNewest_;  // the newest dated reading taken, kUndated before the first
  zan::Report report_;
  ChartPlot* plot_;
  QTableWidget* table_;
  QLabel* figures_;
  QLabel* totals_;
  QAction* open_;
  QAction* export_;
  QAction* whole_;
  QAction* power_;
  QAction* counter_;
  QAction* toggle_;
  QComboBox* span_;
  QAction* spanAction_;  // the tool bar's place of span_, shown for the live view only
};

}  // namespace zch
