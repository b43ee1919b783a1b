// How `report --plot` reaches a chart: the program that has one hands it over at start. The
// command line itself knows no Qt (its Windows build has none), so without it --plot is refused.
#pragma once

#include <string>

#include "analysis/report.h"
#include "analysis/series.h"

namespace zcli {

// Writes the chart of the whole series to out (.png, .svg or .pdf) in the language given (0
// Russian, 1 English); false with the reason in error.
using Plotter = bool (*)(const zan::Series& series, const zan::Report& report, int language, const std::string& out,
                         std::string& error);

void SetPlotter(Plotter plotter);
Plotter GetPlotter();

}  // namespace zcli
