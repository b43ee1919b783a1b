// A recording or memory dump file, as the window writes it, turned into CSV for data tools:
// commas between fields, points in numbers, ISO 8601 time stamps, one header row with units.
#pragma once

#include <istream>
#include <ostream>
#include <string>

#include "cli/options.h"

namespace zcli {

// The convert command: options.file to options.output or to out, the process's standard
// output, and the reasons of a failure or the warning of undated rows on err. Returns the
// exit status: 2 when the output is the input file.
int RunConvert(const Options& options, std::ostream& out, std::ostream& err);

struct ConvertResult {
  bool ok = false;
  bool outputFailed = false;  // out refused a write or its flush; error is the system's reason
  std::string error;          // else "line N: why" for the first line not a row of the file's kind
  long undatedRows = 0;       // rows whose stamp is not a date: their time is written as it stands
};

// Reads a recording or dump file from in and writes its CSV to out. Accepts files of any
// version of the program: CR LF or LF line ends, decimal commas or points, blanks around the
// tabs. Every row becomes a row of the CSV: a stamp the logger's clock gave that is not a
// date (an unset clock, 29_02_2018, 65.53 s) is written as it stands, with a point. Stops at
// the first line that is not a row of the file's kind (rows already written stay written),
// and at the first write out refuses; out is flushed at the end.
ConvertResult ConvertToCsv(std::istream& in, std::ostream& out);

// "07_03_2015 14:05:9,50" as "2015-03-07T14:05:09.50"; seconds of 60.00 carry into the next
// minute (a logger's clock rounds 59.996 s up to 60.00). False when it is not a time stamp or
// not a moment of the calendar.
bool IsoTimeStamp(const std::string& stamp, std::string& iso);

}  // namespace zcli
