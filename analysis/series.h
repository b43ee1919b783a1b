// The samples of a recording or a memory dump file, as numbers: one compact record a row, so
// that a chart can keep the whole of a large file in memory and decimate it for the screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <limits>
#include <string>
#include <vector>

namespace zan {

// Seconds since 2000-01-01 00:00:00 of the logger's own local time, as the file writes it (the
// logger knows no zone). A row whose stamp is no calendar time (an unset clock, 29 February of
// a common year, seconds of 65.53) keeps its place with kUndated.
inline constexpr double kUndated = std::numeric_limits<double>::quiet_NaN();
inline bool IsDated(double t) { return t == t; }

struct Sample {
  double t = kUndated;
  float current = 0;  // A, positive into the battery
  float voltage = 0;  // V
  float power = 0;    // W, the file's own column; 0 where the file has none
  float counter = 0;  // Ah, the logger's charge counter
};

enum class FileKind { kMemoryDump, kRecording };

struct Series {
  FileKind kind = FileKind::kMemoryDump;
  std::string device;  // the file's first line
  bool hasPower = false;
  bool hasCounter = false;
  std::size_t undated = 0;  // rows with kUndated
  // The dated samples never go back in time (a logger's clock set back while it logged breaks
  // it); a chart can then find a time by bisection.
  bool ordered = true;
  std::vector<Sample> samples;
};

// Reads a whole file of either kind in one pass: CR LF or LF, decimal commas or points, blanks
// around the tabs. sizeHint (the file's size in bytes, 0 when unknown) lets the samples be
// reserved at once rather than grown by doubling. False with "line N: why" in error at the first
// line that is neither a row of the file's kind nor blank; series then holds the rows before it.
bool ReadSeries(std::istream& in, Series& series, std::string& error, std::uintmax_t sizeHint = 0);
// The same for a file by name; "cannot be read" when it does not open.
bool ReadSeriesFile(const std::string& path, Series& series, std::string& error);

// A time stamp as the files write it, "03_12_2015 14:07:5,50", as seconds (see Sample::t).
// Seconds from 60 to below 61 belong to the next minute (59.996 s is written 60,00). False when
// the text is not shaped like a stamp; a stamp of that shape that names no calendar time gives
// true with kUndated.
bool ParseStamp(const char* begin, const char* end, double& t);

// Seconds as "2015-12-03T14:07:05.50" (to the hundredth, the files' own resolution).
std::string IsoTime(double t);

}  // namespace zan
