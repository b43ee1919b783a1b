// The report of a whole 4096-page memory dump (1 048 576 rows) against its conversion to CSV:
// seconds of each (best of three), and the bytes a sample costs while the report is worked out.
// The dump is written here, as the logger's download writes it, with a battery test in it:
// cycles of rest, a 10 A discharge, rest and a 5 A charge, one row a second.
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
#include "cli/convert.h"
#include "cli/options.h"
#include "cli/report.h"

namespace {

constexpr long kRows = 4096L * 256;

// Resident and peak resident bytes of this process, where the system tells them.
long StatusBytes(const char* field) {
#if defined(__linux__)
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size())) * 1024;
  }
#else
  (void)field;
#endif
  return -1;
}

// Resets the peak so that it measures what comes after.
void ResetPeak() {
#if defined(__linux__)
  std::ofstream("/proc/self/clear_refs") << "5";
#endif
}

void WriteDump(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "Zentrova-24 N00017\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n";
  std::string chunk;
  char row[128];
  double charge = 0;
  // Minutes of each part of a cycle: rest, discharge, rest, charge.
  const long parts[] = {60, 300, 60, 600};
  const long cycle = (parts[0] + parts[1] + parts[2] + parts[3]) * 60;
  for (long k = 0; k < kRows; ++k) {
    const long at = k % cycle;
    double current = 0, voltage = 0;
    if (at < parts[0] * 60) {
      voltage = 25.6;
    } else if (at < (parts[0] + parts[1]) * 60) {
      current = -10.0 + 0.01 * static_cast<double>(k % 7);
      voltage = 25.2 - 2.4 * static_cast<double>(at - parts[0] * 60) / static_cast<double>(parts[1] * 60);
    } else if (at < (parts[0] + parts[1] + parts[2]) * 60) {
      voltage = 24.4;
    } else {
      current = 5.0 - 0.01 * static_cast<double>(k % 5);
      voltage = 26.0 + 2.0 * static_cast<double>(at % 3600) / 3600.0;
    }
    charge += current / 3600;
    const long t = k;
    const long day = 1 + t / 86400;
    int n = std::snprintf(row, sizeof row, "%02ld_01_2025 %02ld:%02ld:%.2f \t%.2f \t%.2f \t%5.2f\r\n", day,
                          t / 3600 % 24, t / 60 % 60, static_cast<double>(t % 60) + 0.25, current, voltage, charge);
    std::replace(row, row + n, '.', ',');
    chunk.append(row, static_cast<std::size_t>(n));
    if (chunk.size() > (1u << 20)) {
      out << chunk;
      chunk.clear();
    }
  }
  out << chunk;
}

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
    std::string error;
    if (!zcli::ConvertToCsv(in, out, error)) std::fprintf(stderr, "report_bench: %s\n", error.c_str());
  });
  // The same without the disk: what is left is convert's own reading and formatting.
  const double convertDiscarded = BestSeconds([&] {
    std::ifstream in(dump, std::ios::binary);
    std::ostream nowhere(nullptr);
    std::string error;
    if (!zcli::ConvertToCsv(in, nowhere, error)) std::fprintf(stderr, "report_bench: %s\n", error.c_str());
  });
  std::printf("report:  %.3f s\n", report);
  std::printf("convert: %.3f s (to a CSV file), %.3f s (its output discarded)\n", convert, convertDiscarded);
  std::printf("report / convert: %.2f (goal at most 2, and report at most 1.5 s)\n", report / convert);
  std::filesystem::remove(dump);
  std::filesystem::remove(csv);
  return 0;
}
