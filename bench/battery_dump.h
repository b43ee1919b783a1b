// A 4096-page memory dump (1 048 576 rows) written as the logger's download writes it, with a
// battery test in it: cycles of rest, a 10 A discharge, rest and a 5 A charge, one row a second;
// and the process's memory, for the benchmarks that read it.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace zbench {

inline constexpr long kRows = 4096L * 256;

// Resident and peak resident bytes of this process, where the system tells them.
inline long StatusBytes(const char* field) {
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
inline void ResetPeak() {
#if defined(__linux__)
  std::ofstream("/proc/self/clear_refs") << "5";
#endif
}

inline void WriteDump(const std::filesystem::path& path) {
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

}  // namespace zbench
