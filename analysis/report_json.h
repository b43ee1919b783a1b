// A report as one JSON object, for scripts: numbers as JSON numbers, whatever the process
// locale; times in ISO 8601 without a zone, since the logger keeps local time; null where a
// figure does not exist (no dated sample, no counter, no efficiency without both directions).
#pragma once

#include <string>

#include "analysis/report.h"

namespace zan {

std::string ReportJson(const Report& report);

// A number as JSON writes it: fixed, at most `decimals` places, trailing zeros dropped.
std::string JsonNumber(double value, int decimals);

}  // namespace zan
