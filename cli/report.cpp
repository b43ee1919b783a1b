#include "cli/report.h"

#include <string>
#include <vector>

#include "analysis/report.h"
#include "analysis/report_json.h"
#include "analysis/series.h"
#include "framework/numfmt.h"

namespace zcli {

namespace {

struct Words {
  const char* ru;
  const char* en;
};

constexpr Words kDevice{"Устройство", "Device"};
constexpr Words kFile{"Файл", "File"};
constexpr Words kSamples{"Отсчётов", "Samples"};
constexpr Words kUndated{"без даты", "undated"};
constexpr Words kFrom{"с", "from"};
constexpr Words kTo{"по", "to"};
constexpr Words kPhases{"Фазы", "Phases"};
constexpr Words kKind{"вид", "kind"};
constexpr Words kStart{"начало", "start"};
constexpr Words kEnd{"конец", "end"};
constexpr Words kSeconds{"длит., с", "length, s"};
constexpr Words kSampled{"учтено, с", "sampled, s"};
constexpr Words kMeanA{"ср. А", "mean A"};
constexpr Words kMinV{"мин. В", "min V"};
constexpr Words kMaxV{"макс. В", "max V"};
constexpr Words kEndV{"кон. В", "end V"};
constexpr Words kCounter{"счётчик Ач", "counter Ah"};
constexpr Words kAh{"Ач", "Ah"};
constexpr Words kWh{"Втч", "Wh"};
constexpr Words kCharge{"заряд", "charge"};
constexpr Words kDischarge{"разряд", "discharge"};
constexpr Words kRest{"покой", "rest"};
constexpr Words kGaps{"Пропуски", "Gaps"};
constexpr Words kResistance{"Внутреннее сопротивление", "Internal resistance"};
constexpr Words kTime{"время", "time"};
constexpr Words kOhm{"Ом", "ohm"};
constexpr Words kDeltaA{"ΔI, А", "ΔI, A"};
constexpr Words kDeltaV{"ΔU, В", "ΔU, V"};
constexpr Words kTotals{"Итого", "Totals"};
constexpr Words kAhEfficiency{"КПД по заряду", "charge efficiency"};
constexpr Words kWhEfficiency{"КПД по энергии", "energy efficiency"};
constexpr Words kNone{"нет", "none"};
constexpr Words kNoSamples{"в файле нет отсчётов с датой", "the file has no dated samples"};

// Fixed decimals; a value that rounds to zero shows no minus sign.
std::string Fixed(double v, int decimals) {
  std::string text = zfw::Format("%.*f", decimals, v);
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

// Columns are padded by characters, not bytes: the Russian captions take two bytes a letter.
std::size_t Width(const std::string& s) {
  std::size_t n = 0;
  for (const char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return n;
}

class Table {
 public:
  explicit Table(std::vector<std::string> head) { rows_.push_back(std::move(head)); }
  void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }

  void Print(std::ostream& out) const {
    std::vector<std::size_t> widths(rows_.front().size(), 0);
    for (const auto& row : rows_) {
      for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Width(row[c]));
    }
    for (const auto& row : rows_) {
      std::string line = " ";
      for (std::size_t c = 0; c < row.size(); ++c) {
        // Words to the left, numbers to the right.
        const std::string pad(widths[c] - Width(row[c]), ' ');
        const bool text = c < textColumns_;
        line += " " + (text ? row[c] + pad : pad + row[c]);
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out << line << "\n";
    }
  }

  void TextColumns(std::size_t n) { textColumns_ = n; }

 private:
  std::vector<std::vector<std::string>> rows_;
  std::size_t textColumns_ = 0;
};

class TextReport {
 public:
  TextReport(const zan::Report& r, int language) : r_(r), language_(language) {}

  void Print(std::ostream& out) const {
    out << T(kDevice) << ": " << r_.device << "\n";
    out << T(kFile) << ": " << r_.file << "\n";
    out << T(kSamples) << ": " << r_.samples << " (" << T(kUndated) << ": " << r_.undatedRows << ")";
    if (r_.start) out << ", " << T(kFrom) << " " << zan::IsoTime(*r_.start) << " " << T(kTo) << " " << zan::IsoTime(*r_.end);
    out << "\n";
    if (r_.phases.empty()) {
      out << T(kNoSamples) << "\n";
      return;
    }
    Phases(out);
    Gaps(out);
    Resistances(out);
    Totals(out);
  }

 private:
  std::string T(const Words& w) const { return language_ == 0 ? w.ru : w.en; }

  std::string Kind(zan::PhaseKind k) const {
    switch (k) {
      case zan::PhaseKind::kCharge: return T(kCharge);
      case zan::PhaseKind::kDischarge: return T(kDischarge);
      default: return T(kRest);
    }
  }

  void Phases(std::ostream& out) const {
    out << "\n" << T(kPhases) << "\n";
    Table t({"#", T(kKind), T(kStart), T(kEnd), T(kSeconds), T(kSampled), T(kAh), T(kWh), T(kMeanA), T(kMinV),
             T(kMaxV), T(kEndV), T(kCounter)});
    t.TextColumns(4);
    for (std::size_t i = 0; i < r_.phases.size(); ++i) {
      const zan::Phase& p = r_.phases[i];
      t.Add({std::to_string(i + 1), Kind(p.kind), zan::IsoTime(p.start), zan::IsoTime(p.end),
             Fixed(p.seconds, 2), Fixed(p.sampledSeconds, 2), Fixed(p.ah, 4),
             Fixed(p.wh, 4), Fixed(p.meanA, 3), Fixed(p.minV, 2),
             Fixed(p.maxV, 2), Fixed(p.endV, 2),
             p.counterAh ? Fixed(*p.counterAh, 2) : std::string("-")});
    }
    t.Print(out);
  }

  void Gaps(std::ostream& out) const {
    out << "\n" << T(kGaps) << "\n";
    if (r_.gaps.empty()) {
      out << "  " << T(kNone) << "\n";
      return;
    }
    Table t({T(kStart), T(kEnd), T(kSeconds)});
    t.TextColumns(2);
    for (const zan::Gap& g : r_.gaps) t.Add({zan::IsoTime(g.start), zan::IsoTime(g.end), Fixed(g.seconds, 2)});
    t.Print(out);
  }

  void Resistances(std::ostream& out) const {
    out << "\n" << T(kResistance) << "\n";
    if (r_.resistance.empty()) {
      out << "  " << T(kNone) << "\n";
      return;
    }
    Table t({T(kTime), T(kOhm), T(kDeltaA), T(kDeltaV)});
    t.TextColumns(1);
    for (const zan::Resistance& x : r_.resistance) {
      t.Add({zan::IsoTime(x.time), Fixed(x.ohm, 4), Fixed(x.deltaA, 2),
             Fixed(x.deltaV, 2)});
    }
    t.Print(out);
  }

  void Totals(std::ostream& out) const {
    const zan::Totals& s = r_.totals;
    out << "\n" << T(kTotals) << "\n";
    Table t({"", T(kAh), T(kWh)});
    t.TextColumns(1);
    t.Add({T(kCharge), Fixed(s.chargeAh, 4), Fixed(s.chargeWh, 4)});
    t.Add({T(kDischarge), Fixed(s.dischargeAh, 4), Fixed(s.dischargeWh, 4)});
    t.Print(out);
    const auto percent = [](const std::optional<double>& v) { return v ? zfw::Format("%.1f %%", *v * 100) : std::string("-"); };
    out << "  " << T(kAhEfficiency) << ": " << percent(s.ahEfficiency) << "\n";
    out << "  " << T(kWhEfficiency) << ": " << percent(s.whEfficiency) << "\n";
  }

  const zan::Report& r_;
  const int language_;
};

}  // namespace

int RunReport(const Options& options, std::ostream& out, std::ostream& err) {
  zan::Series series;
  std::string why;
  if (!zan::ReadSeriesFile(options.file, series, why)) {
    err << "zentrova-cli: " << options.file << ": " << why << "\n";
    return 1;
  }
  zan::Settings settings;
  if (options.threshold) settings.threshold = *options.threshold;
  if (options.minPhase) settings.minPhase = *options.minPhase;
  settings.gap = options.gap;
  zan::Report report = zan::Analyse(series, settings);
  report.file = options.file;
  if (options.json) {
    out << zan::ReportJson(report) << "\n";
  } else {
    TextReport(report, options.language).Print(out);
  }
  return 0;
}

}  // namespace zcli
