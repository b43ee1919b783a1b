#include "cli/convert.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <vector>

namespace zcli {

namespace {

struct Layout {
  const char* header;  // the file's own column titles, blanks and tabs folded away
  const char* csvHeader;
  std::size_t values;  // numeric columns after the time stamp
};

const Layout kLayouts[] = {
    {"time,Iab, A,Uab, V,Qab, Ah", "time,current_A,voltage_V,charge_Ah", 3},
    {"time,I_50_DC, A,I_50_AC, A,I_50_RMS, A,I_300_DC, A,I_300_AC, A,I_300_RMS, A,Uab, V,P, W,Qab, Ah",
     "time,I_50_DC_A,I_50_AC_A,I_50_RMS_A,I_300_DC_A,I_300_AC_A,I_300_RMS_A,voltage_V,power_W,charge_Ah", 9},
};

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \r");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \r");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const auto tab = line.find('\t', start);
    out.push_back(Trim(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
    if (tab == std::string::npos) return out;
    start = tab + 1;
  }
}

// The header's titles joined by commas, as the layouts list them.
std::string FoldedHeader(const std::string& line) {
  std::string joined;
  for (const std::string& f : Fields(line)) joined += (joined.empty() ? "" : ",") + f;
  return joined;
}

bool Number(std::string text, std::string& out) {
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  double v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || ptr != end || text.empty()) return false;
  out = text;
  return true;
}

bool Digits(const std::string& s, std::size_t at, std::size_t n, int& value) {
  if (at + n > s.size()) return false;
  value = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

bool IsoTimeStamp(const std::string& stamp, std::string& iso) {
  // DD_MM_YYYY HH:MM:S.SS with the seconds' integer part of one or more digits.
  int day = 0, month = 0, year = 0, hour = 0, minute = 0;
  if (stamp.size() < 17 || !Digits(stamp, 0, 2, day) || stamp[2] != '_' || !Digits(stamp, 3, 2, month) ||
      stamp[5] != '_' || !Digits(stamp, 6, 4, year) || stamp[10] != ' ' || !Digits(stamp, 11, 2, hour) ||
      stamp[13] != ':' || !Digits(stamp, 14, 2, minute) || stamp[16] != ':') {
    return false;
  }
  std::string secondsText = stamp.substr(17);
  const auto mark = secondsText.find_first_of(",.");
  if (mark == std::string::npos || mark == 0 || secondsText.size() - mark != 3) return false;
  int whole = 0, hundredths = 0;
  if (!Digits(secondsText, 0, mark, whole) || !Digits(secondsText, mark + 1, 2, hundredths)) return false;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 || whole > 60) {
    return false;
  }
  if (whole == 60) {
    whole = 0;
    if (++minute == 60) {
      minute = 0;
      if (++hour == 24) {
        hour = 0;
        if (++day > DaysInMonth(year, month)) {
          day = 1;
          if (++month > 12) {
            month = 1;
            ++year;
          }
        }
      }
    }
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%02d", year, month, day, hour, minute, whole, hundredths);
  iso = buf;
  return true;
}

bool ConvertToCsv(std::istream& in, std::ostream& out, std::string& error) {
  std::string line;
  const Layout* layout = nullptr;
  long number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (layout == nullptr) {
      // The device's name and an empty line come before the header.
      const std::string folded = FoldedHeader(line);
      for (const Layout& l : kLayouts) {
        if (folded == l.header) layout = &l;
      }
      if (layout != nullptr) {
        out << layout->csvHeader << "\n";
      } else if (number >= 3) {
        error = "line " + std::to_string(number) + ": not the header of a recording or a memory dump";
        return false;
      }
      continue;
    }
    if (Trim(line).empty()) continue;
    const std::vector<std::string> fields = Fields(line);
    std::string iso;
    if (fields.size() != layout->values + 1) {
      error = "line " + std::to_string(number) + ": " + std::to_string(fields.size()) + " fields where the header has " +
              std::to_string(layout->values + 1);
      return false;
    }
    if (!IsoTimeStamp(fields[0], iso)) {
      error = "line " + std::to_string(number) + ": '" + fields[0] + "' is not a time stamp";
      return false;
    }
    std::string row = iso;
    for (std::size_t i = 1; i < fields.size(); ++i) {
      std::string value;
      if (!Number(fields[i], value)) {
        error = "line " + std::to_string(number) + ": '" + fields[i] + "' is not a number";
        return false;
      }
      row += "," + value;
    }
    out << row << "\n";
  }
  if (layout == nullptr) {
    error = "line " + std::to_string(number) + ": the file ends before its header";
    return false;
  }
  return true;
}

int RunConvert(const Options& options, std::ostream& out, std::ostream& err) {
  const auto fail = [&err](const std::string& why) {
    err << "zentrova-cli: " << why << "\n";
    return 1;
  };
  std::ifstream in(options.file, std::ios::binary);
  if (!in) return fail(options.file + ": cannot be read");
  std::ofstream file;
  if (!options.output.empty()) {
    file.open(options.output, std::ios::binary | std::ios::trunc);
    if (!file) return fail(options.output + ": cannot be written");
  }
  std::string why;
  if (!ConvertToCsv(in, options.output.empty() ? out : file, why)) return fail(options.file + ": " + why);
  return 0;
}

}  // namespace zcli
