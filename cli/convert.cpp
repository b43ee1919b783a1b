#include "cli/convert.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/errno_text.h"

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

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A number as the logger's "%3.2f" and "%5.2f" write it, with a point or a comma: an optional
// minus, digits, and decimals after the mark. Anything else that parses as a number (nan,
// inf, 1e3) is not from a logger. out is the number with a point.
bool PlainDecimal(std::string text, std::string& out) {
  std::size_t i = text.empty() || text[0] != '-' ? 0 : 1;
  const std::size_t intStart = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  if (i == intStart) return false;
  if (i < text.size() && (text[i] == ',' || text[i] == '.')) {
    text[i] = '.';
    const std::size_t fracStart = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == fracStart) return false;
  }
  if (i != text.size()) return false;
  out = std::move(text);
  return true;
}

// Reads the run of digits at pos, of min to max digits; false when the run is shorter or
// longer.
bool DigitRun(std::string_view s, std::size_t& pos, std::size_t min, std::size_t max, int& value) {
  std::size_t n = 0;
  value = 0;
  for (; pos + n < s.size() && IsDigit(s[pos + n]); ++n) {
    if (n == max) return false;
    value = value * 10 + (s[pos + n] - '0');
  }
  if (n < min) return false;
  pos += n;
  return true;
}

bool Mark(std::string_view s, std::size_t& pos, std::string_view marks) {
  if (pos >= s.size() || marks.find(s[pos]) == std::string_view::npos) return false;
  ++pos;
  return true;
}

// A byte of the logger's clock as "%02d" writes it: two digits below 100, three up to 255.
bool ByteField(std::string_view s, std::size_t& pos, int& value) {
  const std::size_t start = pos;
  if (!DigitRun(s, pos, 2, 3, value)) return false;
  return pos - start == 2 || (value >= 100 && value <= 255);
}

// The fields of a time stamp, whatever the clock held.
struct Stamp {
  int day = 0, month = 0, year = 0, hour = 0, minute = 0, seconds = 0, hundredths = 0;
};

// The year is a byte after 2000, and the seconds are the milliseconds of the minute, a 16-bit
// count: 65535 ms is written 65.54.
constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2000 + 255;
constexpr int kMostHundredths = 6554;

// DD_MM_YYYY HH:MM:S.SS as the logger writes it from its clock's bytes, date or not: false
// for a text no clock could give (a field wider than its byte, a year before 2000).
bool ParseStamp(std::string_view s, Stamp& t) {
  std::size_t pos = 0;
  if (!ByteField(s, pos, t.day) || !Mark(s, pos, "_") || !ByteField(s, pos, t.month) || !Mark(s, pos, "_") ||
      !DigitRun(s, pos, 4, 4, t.year) || !Mark(s, pos, " ") || !ByteField(s, pos, t.hour) || !Mark(s, pos, ":") ||
      !ByteField(s, pos, t.minute) || !Mark(s, pos, ":") || !DigitRun(s, pos, 1, 2, t.seconds) ||
      !Mark(s, pos, ",.") || !DigitRun(s, pos, 2, 2, t.hundredths) || pos != s.size()) {
    return false;
  }
  return t.year >= kFirstYear && t.year <= kLastYear && t.seconds * 100 + t.hundredths <= kMostHundredths;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// A moment of the calendar. 60.00 s is one: the logger writes 59.996 s and later as 60.00.
bool IsDate(const Stamp& t) {
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= DaysInMonth(t.year, t.month) && t.hour <= 23 &&
         t.minute <= 59 && (t.seconds < 60 || (t.seconds == 60 && t.hundredths == 0));
}

// A date's stamp in ISO 8601; 60.00 s carries into the next minute.
std::string IsoOf(Stamp t) {
  if (t.seconds == 60) {
    t.seconds = 0;
    if (++t.minute == 60) {
      t.minute = 0;
      if (++t.hour == 24) {
        t.hour = 0;
        if (++t.day > DaysInMonth(t.year, t.month)) {
          t.day = 1;
          if (++t.month > 12) {
            t.month = 1;
            ++t.year;
          }
        }
      }
    }
  }
  char buf[96];  // room for any int, though every field here has its two or four digits
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.seconds, t.hundredths);
  return buf;
}

// The stream says only that a write failed; the system's reason is in errno, cleared before
// each write so that it is this write's.
ConvertResult OutputFailed(ConvertResult result) {
  result.ok = false;
  result.outputFailed = true;
  result.error = zv::ErrnoText(errno != 0 ? errno : EIO);
  return result;
}

bool Write(std::ostream& out, const std::string& line) {
  errno = 0;
  out << line << '\n';
  return static_cast<bool>(out);
}

// One file under two names, a link or a hard link: the same device and inode.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

// Whether standard output is the file at path, as with `convert F >>F`. Windows keeps no
// inode for an open descriptor to compare; there only -o is checked.
bool StandardOutputIs(const std::string& path) {
#if defined(_WIN32)
  (void)path;
  return false;
#else
  struct stat output{};
  struct stat file{};
  return ::fstat(STDOUT_FILENO, &output) == 0 && ::stat(path.c_str(), &file) == 0 && output.st_dev == file.st_dev &&
         output.st_ino == file.st_ino;
#endif
}

}  // namespace

bool IsoTimeStamp(const std::string& stamp, std::string& iso) {
  Stamp t;
  if (!ParseStamp(stamp, t) || !IsDate(t)) return false;
  iso = IsoOf(t);
  return true;
}

ConvertResult ConvertToCsv(std::istream& in, std::ostream& out) {
  ConvertResult result;
  const auto malformed = [&result](long number, const std::string& why) {
    result.error = "line " + std::to_string(number) + ": " + why;
    return result;
  };
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
        if (!Write(out, layout->csvHeader)) return OutputFailed(result);
      } else if (number >= 3) {
        return malformed(number, "not the header of a recording or a memory dump");
      }
      continue;
    }
    if (Trim(line).empty()) continue;
    const std::vector<std::string> fields = Fields(line);
    if (fields.size() != layout->values + 1) {
      return malformed(number, std::to_string(fields.size()) + " fields where the header has " +
                                   std::to_string(layout->values + 1));
    }
    Stamp stamp;
    if (!ParseStamp(fields[0], stamp)) return malformed(number, "'" + fields[0] + "' is not a time stamp");
    std::string row;
    if (IsDate(stamp)) {
      row = IsoOf(stamp);
    } else {
      // Not a moment of the calendar, yet what the logger's clock said: kept as it stands.
      row = fields[0];
      std::replace(row.begin(), row.end(), ',', '.');
      ++result.undatedRows;
    }
    for (std::size_t i = 1; i < fields.size(); ++i) {
      std::string value;
      if (!PlainDecimal(fields[i], value)) return malformed(number, "'" + fields[i] + "' is not a number");
      row += "," + value;
    }
    if (!Write(out, row)) return OutputFailed(result);
  }
  if (layout == nullptr) return malformed(number, "the file ends before its header");
  errno = 0;
  if (!out.flush()) return OutputFailed(result);
  result.ok = true;
  return result;
}

int RunConvert(const Options& options, std::ostream& out, std::ostream& err) {
  const auto fail = [&err](const std::string& why) {
    err << "zentrova-cli: " << why << "\n";
    return 1;
  };
  const bool toOut = options.output.empty();
  const std::string outName = toOut ? "standard output" : options.output;
  std::ifstream in(options.file, std::ios::binary);
  if (!in) return fail(options.file + ": cannot be read");
  // Opening the output empties it: were it the input, nothing would be left to read. A
  // terminal or a pipe read and written at once is no such loss.
  std::error_code ec;
  const bool regular = std::filesystem::is_regular_file(options.file, ec);
  if (regular && (toOut ? StandardOutputIs(options.file) : SameFile(options.file, options.output))) {
    err << "zentrova-cli: " << outName << " is the input file: the CSV would write over it\n";
    return 2;
  }
  std::ofstream file;
  if (!toOut) {
    errno = 0;
    file.open(options.output, std::ios::binary | std::ios::trunc);
    if (!file) return fail(outName + ": cannot be written: " + zv::ErrnoText(errno != 0 ? errno : EIO));
  }
  ConvertResult result = ConvertToCsv(in, toOut ? out : file);
  if (result.ok && !toOut) {
    errno = 0;
    file.close();
    if (!file) result = OutputFailed(result);
  }
  if (result.outputFailed) return fail(outName + ": cannot be written: " + result.error);
  if (!result.ok) return fail(options.file + ": " + result.error);
  if (result.undatedRows > 0) {
    err << "zentrova-cli: " << options.file << ": " << result.undatedRows
        << (result.undatedRows == 1 ? " row has a time stamp that is not a date; its time is written as it stands\n"
                                    : " rows have a time stamp that is not a date; their time is written as it stands\n");
  }
  return 0;
}

}  // namespace zcli
