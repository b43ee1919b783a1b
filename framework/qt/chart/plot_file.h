// The chart of a whole series written to an image file without a display. Plain C++ on its
// face, so that a program that knows no Qt (zentrova-cli) can be handed it as a function.
#pragma once

#include <string>

#include "analysis/report.h"
#include "analysis/series.h"

namespace zch {

inline constexpr int kPlotWidth = 1600;
inline constexpr int kPlotHeight = 900;

// PNG, SVG or PDF by the suffix of out, kPlotWidth × kPlotHeight. Makes the Qt application
// itself when the program has none, on the off-screen platform unless one is named. False with
// the reason in error.
bool PlotToFile(const zan::Series& series, const zan::Report& report, int language, const std::string& out,
                std::string& error);

}  // namespace zch
