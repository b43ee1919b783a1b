#include "analysis/series.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

namespace zan {

namespace {

// What tells a file's kind, and the numbers each of its rows holds after the time stamp.
struct Layout {
  const char* header;  // the column titles, blanks folded away and joined by commas
  FileKind kind;
  std::size_t values;
  // Bytes of the shortest row the program writes (a stamp of 21 characters, values of "0,00"
  // with their separators, a line feed): the file's size over it is never short of its rows.
  std::uintmax_t shortestRow;
};

const Layout kLayouts[] = {
    {"time,Iab, A,Uab, V,Qab, Ah", FileKind::kMemoryDump, 3, 40},
    {"time,I_50_DC, A,I_50_AC, A,I_50_RMS, A,I_300_DC, A,I_300_AC, A,I_300_RMS, A,Uab, V,P, W,Qab, Ah",
     FileKind::kRecording, 9, 76},
};
constexpr std::size_t kMaxValues = 9;

// A recording carries both current channels; the low range is the finer one while the
// current stays inside it, which its name gives in amperes.
constexpr double kLowRangeAmps = 50.0;

bool IsBlank(char c) { return c == ' ' || c == '\r'; }

void Trim(const char*& b, const char*& e) {
  while (b < e && IsBlank(*b)) ++b;
  while (e > b && IsBlank(e[-1])) --e;
}

// A decimal as the files write it ("-12,34", " 1,50", "0.5"). Up to 18 digits it is the
// integer of its digits over a power of ten, both exact in a double, so one division rounds it
// correctly; longer ones go to from_chars.
bool ParseNumber(const char* b, const char* e, double& value) {
  Trim(b, e);
  if (b == e) return false;
  const char* p = b;
  const bool negative = *p == '-';
  if (negative) ++p;
  std::uint64_t digits = 0;
  int count = 0, fraction = 0;
  bool mark = false;
  for (; p < e; ++p) {
    if (*p >= '0' && *p <= '9') {
      digits = digits * 10 + static_cast<unsigned>(*p - '0');
      ++count;
      if (mark) ++fraction;
    } else if ((*p == ',' || *p == '.') && !mark) {
      mark = true;
    } else {
      return false;
    }
  }
  if (count == 0) return false;
  if (count <= 18) {
    static const double kTens[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9,
                                   1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
    value = static_cast<double>(digits) / kTens[fraction];
    if (negative) value = -value;
    return true;
  }
  std::string text(b, e);
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size();
}

bool Digits(const char*& p, const char* e, int& value) {
  const char* start = p;
  value = 0;
  while (p < e && *p >= '0' && *p <= '9' && p - start < 6) value = value * 10 + (*p++ - '0');
  return p > start;
}

bool Expect(const char*& p, const char* e, char c) {
  if (p >= e || *p != c) return false;
  ++p;
  return true;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Days from 2000-01-01 to a civil date of the proleptic Gregorian calendar.
long DaysSince2000(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = y / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<long>(era) * 146097 + doe - 730425;  // 730425: 2000-01-01 from 0000-03-01
}

void CivilFromDays(long days, int& year, int& month, int& day) {
  const long z = days + 730425;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::string FoldedHeader(const char* b, const char* e) {
  std::string joined;
  bool first = true;
  for (;;) {
    const char* tab = static_cast<const char*>(std::memchr(b, '\t', static_cast<std::size_t>(e - b)));
    const char* fe = tab != nullptr ? tab : e;
    const char* fb = b;
    Trim(fb, fe);
    if (!first) joined += ',';
    first = false;
    joined.append(fb, fe);
    if (tab == nullptr) return joined;
    b = tab + 1;
  }
}

class Reader {
 public:
  Reader(Series& series, std::string& error, std::uintmax_t sizeHint)
      : series_(series), error_(error), sizeHint_(sizeHint) {}

  bool Line(const char* b, const char* e) {
    ++number_;
    if (e > b && e[-1] == '\r') --e;
    if (layout_ == nullptr) return HeaderLine(b, e);
    const char* tb = b;
    const char* te = e;
    Trim(tb, te);
    if (tb == te) return true;
    return Row(b, e);
  }

  bool Finish() {
    if (layout_ == nullptr) return Fail("the file ends before its header");
    return true;
  }

 private:
  bool HeaderLine(const char* b, const char* e) {
    const std::string folded = FoldedHeader(b, e);
    for (const Layout& l : kLayouts) {
      if (folded == l.header) layout_ = &l;
    }
    if (layout_ != nullptr) {
      if (sizeHint_ > 0) series_.samples.reserve(static_cast<std::size_t>(sizeHint_ / layout_->shortestRow + 1));
      series_.kind = layout_->kind;
      series_.hasPower = layout_->kind == FileKind::kRecording;
      series_.hasCounter = true;
      return true;
    }
    if (number_ == 1) series_.device.assign(b, e);
    if (number_ >= 3) return Fail("not the header of a recording or a memory dump");
    return true;
  }

  bool Row(const char* b, const char* e) {
    const char* begins[kMaxValues + 1];
    const char* ends[kMaxValues + 1];
    std::size_t n = 0;
    begins[0] = b;
    for (const char* p = b; p < e; ++p) {
      if (*p == '\t') {
        if (n == layout_->values) return FieldCount(n + 2 + Tabs(p + 1, e));
        ends[n++] = p;
        begins[n] = p + 1;
      }
    }
    ends[n++] = e;
    if (n != layout_->values + 1) return FieldCount(n);
    for (std::size_t i = 0; i < n; ++i) Trim(begins[i], ends[i]);
    Sample s;
    if (!ParseStamp(begins[0], ends[0], s.t)) return Fail("'" + std::string(begins[0], ends[0]) + "' is not a time stamp");
    double v[kMaxValues];
    for (std::size_t i = 0; i < layout_->values; ++i) {
      if (!ParseNumber(begins[i + 1], ends[i + 1], v[i])) {
        return Fail("'" + std::string(begins[i + 1], ends[i + 1]) + "' is not a number");
      }
    }
    if (layout_->kind == FileKind::kMemoryDump) {
      s.current = static_cast<float>(v[0]);
      s.voltage = static_cast<float>(v[1]);
      s.counter = static_cast<float>(v[2]);
    } else {
      s.current = static_cast<float>(std::fabs(v[3]) < kLowRangeAmps ? v[0] : v[3]);
      s.voltage = static_cast<float>(v[6]);
      s.power = static_cast<float>(v[7]);
      s.counter = static_cast<float>(v[8]);
    }
    if (!IsDated(s.t)) {
      ++series_.undated;
    } else {
      if (s.t < lastDated_) series_.ordered = false;
      lastDated_ = s.t;
    }
    series_.samples.push_back(s);
    return true;
  }

  static std::size_t Tabs(const char* b, const char* e) {
    std::size_t n = 0;
    for (; b < e; ++b) n += *b == '\t' ? 1 : 0;
    return n;
  }

  bool FieldCount(std::size_t n) {
    return Fail(std::to_string(n) + " fields where the header has " + std::to_string(layout_->values + 1));
  }

  bool Fail(const std::string& why) {
    error_ = "line " + std::to_string(number_) + ": " + why;
    return false;
  }

  Series& series_;
  std::string& error_;
  const std::uintmax_t sizeHint_;
  const Layout* layout_ = nullptr;
  long number_ = 0;
  double lastDated_ = -std::numeric_limits<double>::infinity();
};

}  // namespace

bool ParseStamp(const char* b, const char* e, double& t) {
  // DD_MM_YYYY HH:MM:S,SS: each number as "%02d" writes it, so a byte of 255 gives three digits.
  int day = 0, month = 0, year = 0, hour = 0, minute = 0, whole = 0, hundredths = 0;
  const char* p = b;
  if (!Digits(p, e, day) || !Expect(p, e, '_') || !Digits(p, e, month) || !Expect(p, e, '_') ||
      !Digits(p, e, year) || !Expect(p, e, ' ') || !Digits(p, e, hour) || !Expect(p, e, ':') ||
      !Digits(p, e, minute) || !Expect(p, e, ':') || !Digits(p, e, whole)) {
    return false;
  }
  if (p >= e || (*p != ',' && *p != '.')) return false;
  ++p;
  const char* fraction = p;
  if (!Digits(p, e, hundredths) || p != e || p - fraction != 2) return false;
  if (year < 2000 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || whole > 60) {
    t = kUndated;
    return true;
  }
  t = static_cast<double>(DaysSince2000(year, month, day)) * 86400.0 + hour * 3600.0 + minute * 60.0 + whole +
      hundredths / 100.0;
  return true;
}

std::string IsoTime(double t) {
  if (!IsDated(t)) return {};
  const long long cs = std::llround(t * 100.0);
  long long days = cs / 8640000;
  long long rest = cs % 8640000;
  if (rest < 0) {
    rest += 8640000;
    --days;
  }
  int year = 0, month = 0, day = 0;
  CivilFromDays(static_cast<long>(days), year, month, day);
  const int hour = static_cast<int>(rest / 360000);
  const int minute = static_cast<int>(rest / 6000 % 60);
  const int second = static_cast<int>(rest / 100 % 60);
  const int hundredths = static_cast<int>(rest % 100);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%02d", year, month, day, hour, minute, second,
                hundredths);
  return buf;
}

bool ReadSeries(std::istream& in, Series& series, std::string& error, std::uintmax_t sizeHint) {
  series = Series{};
  Reader reader(series, error, sizeHint);
  // Whole chunks, each line parsed where it lies; only a line cut by a chunk's end is copied.
  std::vector<char> buffer(1 << 20);
  std::size_t kept = 0;
  for (;;) {
    in.read(buffer.data() + kept, static_cast<std::streamsize>(buffer.size() - kept));
    const std::size_t got = static_cast<std::size_t>(in.gcount());
    const std::size_t filled = kept + got;
    const char* p = buffer.data();
    const char* end = buffer.data() + filled;
    for (;;) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (nl == nullptr) break;
      if (!reader.Line(p, nl)) return false;
      p = nl + 1;
    }
    kept = static_cast<std::size_t>(end - p);
    if (got == 0) {
      if (kept > 0 && !reader.Line(p, end)) return false;
      break;
    }
    std::memmove(buffer.data(), p, kept);
    if (kept == buffer.size()) buffer.resize(buffer.size() * 2);  // a line longer than the buffer
  }
  return reader.Finish();
}

bool ReadSeriesFile(const std::string& path, Series& series, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    series = Series{};
    error = "cannot be read";
    return false;
  }
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  return ReadSeries(in, series, error, ec ? 0 : size);
}

}  // namespace zan
