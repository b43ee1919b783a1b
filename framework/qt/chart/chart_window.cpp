#include "framework/qt/chart/chart_window.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <fstream>

#include "framework/numfmt.h"

namespace zch {

namespace {

struct Caption {
  const char* ru;
  const char* en;
};

constexpr Caption kOpen{"Открыть файл…", "Open file…"};
constexpr Caption kExport{"Экспорт…", "Export…"};
constexpr Caption kWhole{"Весь файл", "Whole file"};
constexpr Caption kPower{"Мощность", "Power"};
constexpr Caption kCounter{"Счётчик", "Counter"};
constexpr Caption kToggle{"РУС/eng", "рус/ENG"};
constexpr Caption kKind{"Фаза", "Phase"};
constexpr Caption kStart{"Начало", "Start"};
constexpr Caption kSeconds{"Длит., с", "Length, s"};
constexpr Caption kAh{"Ач", "Ah"};
constexpr Caption kWh{"Втч", "Wh"};
constexpr Caption kMeanA{"Iср, А", "Mean I, A"};
constexpr Caption kMinV{"Uмин, В", "Min V"};
constexpr Caption kMaxV{"Uмакс, В", "Max V"};
constexpr Caption kCharge{"заряд", "charge"};
constexpr Caption kDischarge{"разряд", "discharge"};
constexpr Caption kRest{"покой", "rest"};
constexpr Caption kFigures{"Δt %s с   ΔАч %s   ΔВтч %s   Iср %s А", "Δt %s s   ΔAh %s   ΔWh %s   mean I %s A"};
constexpr Caption kTotals{"Заряд: %s Ач, %s Втч\nРазряд: %s Ач, %s Втч\nКПД по заряду: %s\nКПД по энергии: %s\n"
                          "Пропусков: %s",
                          "Charge: %s Ah, %s Wh\nDischarge: %s Ah, %s Wh\nCharge efficiency: %s\n"
                          "Energy efficiency: %s\nGaps: %s"};
constexpr Caption kHint{"Колесо: масштаб; левая кнопка: сдвиг; правая: курсор 1, Shift+правая: курсор 2",
                        "Wheel: zoom; left button: drag; right: cursor 1, Shift+right: cursor 2"};
constexpr Caption kOpenFailed{"Не удалось открыть файл", "Cannot open the file"};
constexpr Caption kExportFailed{"Не удалось записать файл", "Cannot write the file"};
constexpr Caption kImages{"Изображение PNG (*.png);;Рисунок SVG (*.svg);;Документ PDF (*.pdf);;Отсчёты CSV (*.csv)",
                          "PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf);;CSV samples (*.csv)"};
constexpr Caption kSpanWhole{"Всё время", "Whole time"};
constexpr Caption kSpanMinutes{"Последние %s мин", "Last %s min"};
constexpr Caption kSpanHint{"Что показывать, пока график идёт за новыми измерениями",
                            "What to show while the chart follows the new readings"};
constexpr Caption kFiles{"Записи и дампы (*.txt);;Все файлы (*)", "Recordings and dumps (*.txt);;All files (*)"};

QString T(const Caption& c, int language) { return QString::fromUtf8(language == 0 ? c.ru : c.en); }

// Fixed decimals; a value that rounds to zero shows no minus sign.
QString Fixed(double v, int decimals) {
  std::string text = zfw::Format("%.*f", decimals, v);
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return QString::fromStdString(text);
}

QString Fill(const Caption& c, int language, const QStringList& args) {
  QString text = T(c, language);
  for (const QString& a : args) {
    const auto at = text.indexOf("%s");
    if (at < 0) break;
    text.replace(at, 2, a);
  }
  return text;
}

QString Percent(const std::optional<double>& v) {
  return v ? QString::fromStdString(zfw::Format("%.1f %%", *v * 100)) : QString("-");
}

}  // namespace

const std::vector<int>& ChartWindow::LiveSpans() {
  static const std::vector<int> spans{0, 1, 5, 15, 60};
  return spans;
}

ChartWindow::ChartWindow(int language, QWidget* parent)
    : QMainWindow(parent), language_(language), liveNewest_(zan::kUndated) {
  plot_ = new ChartPlot;
  plot_->SetLanguage(language_);
  table_ = new QTableWidget(0, 8);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->setVisible(false);
  figures_ = new QLabel;
  figures_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  totals_ = new QLabel;
  totals_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* left = new QWidget;
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->addWidget(plot_, 1);
  leftLayout->addWidget(figures_);
  auto* right = new QWidget;
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->addWidget(table_, 1);
  rightLayout->addWidget(totals_);
  auto* split = new QSplitter;
  split->addWidget(left);
  split->addWidget(right);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  split->setSizes({1000, 400});
  setCentralWidget(split);

  QToolBar* bar = addToolBar("chart");
  bar->setMovable(false);
  open_ = bar->addAction(QString());
  export_ = bar->addAction(QString());
  bar->addSeparator();
  whole_ = bar->addAction(QString());
  power_ = bar->addAction(QString());
  power_->setCheckable(true);
  counter_ = bar->addAction(QString());
  counter_->setCheckable(true);
  span_ = new QComboBox;
  for (int minutes : LiveSpans()) span_->addItem(QString(), minutes);
  spanAction_ = bar->addWidget(span_);
  spanAction_->setVisible(false);
  bar->addSeparator();
  toggle_ = bar->addAction(QString());
  connect(open_, &QAction::triggered, this, [this] { ChooseFile(); });
  connect(export_, &QAction::triggered, this, [this] { ChooseExport(); });
  connect(whole_, &QAction::triggered, this, [this] { plot_->ShowAll(); });
  connect(power_, &QAction::toggled, this, [this](bool on) { plot_->ShowPower(on); });
  connect(counter_, &QAction::toggled, this, [this](bool on) { plot_->ShowCounter(on); });
  connect(span_, qOverload<int>(&QComboBox::activated), this, [this](int index) { SetLiveSpan(LiveSpans()[static_cast<std::size_t>(index)]); });
  connect(toggle_, &QAction::triggered, this, [this] { SetLanguage(language_ == 0 ? 1 : 0); });
  plot_->onCursorsMoved = [this] { ShowFigures(); };
  export_->setEnabled(false);
  whole_->setEnabled(false);
  counter_->setEnabled(false);
  liveTimer_ = new QTimer(this);
  liveTimer_->setInterval(1000);
  connect(liveTimer_, &QTimer::timeout, this, [this] { TakeLive(); });
  resize(1400, 800);
  Captions();
}

void ChartWindow::ShowLive(std::shared_ptr<LiveFeed> feed, const QString& device) {
  feed_ = std::move(feed);
  device_ = device;
  path_.clear();
  live_ = std::make_shared<zan::Series>();
  live_->device = device.toStdString();
  live_->hasPower = true;
  live_->hasCounter = true;
  series_ = live_;
  report_ = zan::Report{};
  plot_->SetData(series_, report_);
  counter_->setEnabled(true);
  export_->setEnabled(true);
  whole_->setEnabled(true);
  liveNewest_ = zan::kUndated;
  spanAction_->setVisible(true);
  FillTable();
  Captions();
  liveTimer_->start();
  TakeLive();
}

void ChartWindow::SetDevice(const QString& device) {
  device_ = device;
  if (live_) live_->device = device.toStdString();
  Captions();
}

int ChartWindow::LiveSpan() const { return span_->currentData().toInt(); }

void ChartWindow::SetLiveSpan(int minutes) {
  const auto& spans = LiveSpans();
  const auto at = std::find(spans.begin(), spans.end(), minutes);
  if (at == spans.end()) return;
  span_->setCurrentIndex(static_cast<int>(at - spans.begin()));
  if (!live_ || !zan::IsDated(liveNewest_)) return;
  if (minutes == 0) {
    plot_->ShowAll();
  } else {
    FollowLive();
  }
}

// A view that shows the newest reading moves on with it, as wide as the span chosen (or all
// there is, while there is less); one the person has dragged back in time stays where it is.
void ChartWindow::FollowLive() {
  const int minutes = LiveSpan();
  if (minutes == 0) return;  // the plot's own growth keeps the whole in view
  const auto first = std::find_if(live_->samples.begin(), live_->samples.end(),
                                  [](const zan::Sample& x) { return zan::IsDated(x.t); });
  const double from = std::max(liveNewest_ - 60.0 * minutes, first->t);
  if (std::abs(plot_->ViewFrom() - from) > 1e-3 || std::abs(plot_->ViewTo() - liveNewest_) > 1e-3) {
    plot_->SetView(from, liveNewest_);
  }
}

void ChartWindow::TakeLive() {
  if (!feed_ || !live_ || feed_->MoveInto(*live_) == 0) return;
  const bool following = !zan::IsDated(liveNewest_) || plot_->ViewTo() >= liveNewest_ - 1e-3;
  for (auto it = live_->samples.rbegin(); it != live_->samples.rend(); ++it) {
    if (zan::IsDated(it->t)) {
      liveNewest_ = std::max(it->t, zan::IsDated(liveNewest_) ? liveNewest_ : it->t);
      break;
    }
  }
  // The report goes over every reading: worked out anew only now and then, not every second.
  if (report_.phases.empty() || ++ticksSinceReport_ >= 30) {
    ticksSinceReport_ = 0;
    report_ = zan::Analyse(*live_);
    FillTable();
  }
  plot_->Grow(report_);
  if (following && zan::IsDated(liveNewest_)) FollowLive();
  ShowFigures();
}

bool ChartWindow::OpenFile(const QString& path, QString& error) {
  auto series = std::make_shared<zan::Series>();
  std::string why;
  if (!zan::ReadSeriesFile(path.toStdString(), *series, why)) {
    error = path + ": " + QString::fromStdString(why);
    return false;
  }
  liveTimer_->stop();
  feed_.reset();
  live_.reset();
  spanAction_->setVisible(false);
  report_ = zan::Analyse(*series);
  report_.file = path.toStdString();
  series_ = std::move(series);
  path_ = path;
  plot_->SetData(series_, report_);
  counter_->setEnabled(series_->hasCounter);
  if (!series_->hasCounter) counter_->setChecked(false);
  plot_->ShowPower(power_->isChecked());
  plot_->ShowCounter(counter_->isChecked());
  export_->setEnabled(true);
  whole_->setEnabled(true);
  FillTable();
  Captions();
  return true;
}

void ChartWindow::SetLanguage(int language) {
  language_ = language;
  plot_->SetLanguage(language);
  Captions();
  FillTable();
}

void ChartWindow::Captions() {
  if (!path_.isEmpty()) {
    setWindowTitle(QFileInfo(path_).fileName() + " — Zentrova");
  } else {
    setWindowTitle(device_.isEmpty() ? QString("Zentrova") : "Zentrova — " + device_);
  }
  open_->setText(T(kOpen, language_));
  export_->setText(T(kExport, language_));
  whole_->setText(T(kWhole, language_));
  power_->setText(T(kPower, language_));
  counter_->setText(T(kCounter, language_));
  toggle_->setText(T(kToggle, language_));
  for (int i = 0; i < span_->count(); ++i) {
    const int minutes = LiveSpans()[static_cast<std::size_t>(i)];
    span_->setItemText(i, minutes == 0 ? T(kSpanWhole, language_)
                                       : Fill(kSpanMinutes, language_, {QString::number(minutes)}));
  }
  span_->setToolTip(T(kSpanHint, language_));
  plot_->setToolTip(T(kHint, language_));
  table_->setHorizontalHeaderLabels({T(kKind, language_), T(kStart, language_), T(kSeconds, language_),
                                     T(kAh, language_), T(kWh, language_), T(kMeanA, language_),
                                     T(kMinV, language_), T(kMaxV, language_)});
  ShowFigures();
}

void ChartWindow::FillTable() {
  table_->setRowCount(static_cast<int>(report_.phases.size()));
  for (int row = 0; row < table_->rowCount(); ++row) {
    const zan::Phase& p = report_.phases[static_cast<std::size_t>(row)];
    const Caption& kind = p.kind == zan::PhaseKind::kCharge      ? kCharge
                          : p.kind == zan::PhaseKind::kDischarge ? kDischarge
                                                                 : kRest;
    const QStringList cells{T(kind, language_),
                            QString::fromStdString(zan::IsoTime(p.start)).replace('T', ' '),
                            Fixed(p.seconds, 0),
                            Fixed(p.ah, 3),
                            Fixed(p.wh, 2),
                            Fixed(p.meanA, 2),
                            Fixed(p.minV, 2),
                            Fixed(p.maxV, 2)};
    for (int c = 0; c < cells.size(); ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (c >= 2) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(row, c, item);
    }
  }
  table_->resizeColumnsToContents();
  const zan::Totals& s = report_.totals;
  totals_->setText(series_ ? Fill(kTotals, language_,
                                  {Fixed(s.chargeAh, 3), Fixed(s.chargeWh, 2), Fixed(s.dischargeAh, 3),
                                   Fixed(s.dischargeWh, 2), Percent(s.ahEfficiency), Percent(s.whEfficiency),
                                   QString::number(report_.gaps.size())})
                           : QString());
}

void ChartWindow::ShowFigures() {
  if (!series_) {
    figures_->clear();
    return;
  }
  const SpanFigures f = plot_->Figures();
  figures_->setText(Fill(kFigures, language_, {Fixed(f.seconds, 2), Fixed(f.ah, 4), Fixed(f.wh, 3), Fixed(f.meanA, 3)}));
}

void ChartWindow::ChooseFile() {
  const QString path = QFileDialog::getOpenFileName(this, T(kOpen, language_), QString(), T(kFiles, language_));
  if (path.isEmpty()) return;
  QString error;
  if (!OpenFile(path, error)) QMessageBox::warning(this, T(kOpenFailed, language_), error);
}

void ChartWindow::ChooseExport() {
  QString filter;
  QString path = QFileDialog::getSaveFileName(this, T(kExport, language_), QFileInfo(path_).completeBaseName() + ".png",
                                              T(kImages, language_), &filter);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) {
    // The filter chosen names the kind: "(*.png)".
    const auto dot = filter.lastIndexOf("*.");
    if (dot >= 0) path += filter.mid(dot + 1, 4);
  }
  QString error;
  if (!Export(path, error)) QMessageBox::warning(this, T(kExportFailed, language_), error);
}

bool ChartWindow::Export(const QString& path, QString& error) {
  if (!series_) {
    error = T(kExportFailed, language_);
    return false;
  }
  if (QFileInfo(path).suffix().toLower() == "csv") return WriteCsv(path, error);
  return plot_->ExportImage(path, plot_->width(), plot_->height(), error);
}

bool ChartWindow::WriteCsv(const QString& path, QString& error) const {
  std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
  if (!out) {
    error = path + ": cannot be written";
    return false;
  }
  const double from = plot_->ViewFrom(), to = plot_->ViewTo();
  out << "time,current_A,voltage_V";
  if (series_->hasPower) out << ",power_W";
  if (series_->hasCounter) out << ",charge_Ah";
  out << "\r\n";
  std::string row;
  for (const zan::Sample& s : series_->samples) {
    if (!zan::IsDated(s.t) || s.t < from || s.t > to) continue;
    row = zan::IsoTime(s.t) + zfw::Format(",%.3f,%.3f", double{s.current}, double{s.voltage});
    if (series_->hasPower) row += zfw::Format(",%.3f", double{s.power});
    if (series_->hasCounter) row += zfw::Format(",%.3f", double{s.counter});
    out << row << "\r\n";
  }
  out.flush();
  if (!out) {
    error = path + ": cannot be written";
    return false;
  }
  return true;
}

}  // namespace zch
