// The report of a whole 4096-page memory dump (1 048 576 rows) against its conversion to CSV:
// seconds of each (best of three), and the bytes a sample costs while the report is worked out.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "analysis/report.h"
#include "analysis/series.h"
#include "bench/battery_dump.h"
#include "cli/convert.h"
#include "cli/options.h"
#include "cli/report.h"

namespace {
// Takes every byte and keeps none: convert's own reading and formatting, without the disk.
class Discard final : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};
}  // namespace

namespace {

using zbench::kRows;
using zbench::ResetPeak;
using zbench::StatusBytes;
using zbench::WriteDump;

template <typename F>
double BestSeconds(F f) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main() {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::filesystem::path dump = dir / "zentrova-report-bench.txt";
  const std::filesystem::path csv = dir / "zentrova-report-bench.csv";
  WriteDump(dump);
  std::printf("dump: %ld rows, %.1f MB\n", kRows, static_cast<double>(std::filesystem::file_size(dump)) / 1e6);

  // Memory: the samples, and the peak of the whole read and analysis over what was there before.
  {
    ResetPeak();
    const long before = StatusBytes("VmRSS:");
    zan::Series series;
    std::string error;
    if (!zan::ReadSeriesFile(dump.string(), series, error)) {
      std::fprintf(stderr, "report_bench: %s\n", error.c_str());
      return 1;
    }
    const zan::Report report = zan::Analyse(series);
    const long peak = StatusBytes("VmHWM:");
    const double n = static_cast<double>(series.samples.size());
    std::printf("samples: %zu, phases %zu, gaps %zu, resistance steps %zu\n", series.samples.size(), report.phases.size(),
                report.gaps.size(), report.resistance.size());
    std::printf("memory: %.1f bytes a sample held (%zu reserved of %zu bytes each)\n",
                static_cast<double>(series.samples.capacity() * sizeof(zan::Sample)) / n, series.samples.capacity(),
                sizeof(zan::Sample));
    if (before > 0 && peak > 0) {
      std::printf("memory: %.1f bytes a sample at the peak of read and analysis\n", static_cast<double>(peak - before) / n);
    }
  }

  zcli::Options options;
  options.command = zcli::Command::kReport;
  options.file = dump.string();
  const double report = BestSeconds([&] {
    std::ostringstream out, err;
    if (zcli::RunReport(options, out, err) != 0) std::fprintf(stderr, "report_bench: %s", err.str().c_str());
  });
  const double convert = BestSeconds([&] {
    std::ifstream in(dump, std::ios::binary);
    std::ofstream out(csv, std::ios::binary | std::ios::trunc);
    const zcli::ConvertResult result = zcli::ConvertToCsv(in, out);
    if (!result.ok) std::fprintf(stderr, "report_bench: %s\n", result.error.c_str());
  });
  // The same without the disk: what is left is convert's own reading and formatting.
  const double convertDiscarded = BestSeconds([&] {
    std::ifstream in(dump, std::ios::binary);
    Discard discard;
    std::ostream nowhere(&discard);
    const zcli::ConvertResult result = zcli::ConvertToCsv(in, nowhere);
    if (!result.ok) std::fprintf(stderr, "report_bench: %s\n", result.error.c_str());
  });
  std::printf("report:  %.3f s\n", report);
  std::printf("convert: %.3f s (to a CSV file), %.3f s (its output discarded)\n", convert, convertDiscarded);
  std::printf("report / convert: %.2f (goal at most 2, and report at most 1.5 s)\n", report / convert);
  std::filesystem::remove(dump);
  std::filesystem::remove(csv);
  return 0;
}
