// zentrova-cli report: a recording or memory dump file worked out as a battery test.
#pragma once

#include <ostream>

#include "cli/options.h"

namespace zcli {

// Reads options.file and prints its phases, gaps, resistances and totals as a table in the
// options' language, or as one JSON object with --json. Returns the exit status: 1, with the
// reason on err, when the file cannot be read or holds a line that is not a row.
int RunReport(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace zcli
