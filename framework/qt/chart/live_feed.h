// The live readings handed from the window thread, which reads the logger, to the chart on the
// GUI thread: the window thread pushes each reading as it is decoded, the chart takes what came
// when it next draws. Nothing but the readings crosses, and the window keeps its own state.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "analysis/series.h"

namespace zch {

class LiveFeed {
 public:
  // Any thread; never waits for the chart to draw.
  void Push(const zan::Sample& sample);
  // The chart's thread: moves the readings pushed since the last call onto the end of series,
  // keeping its order and undated counts right. Returns how many came.
  std::size_t MoveInto(zan::Series& series);

 private:
  std::mutex mutex_;
  std::vector<zan::Sample> pending_;  // under mutex_
};

}  // namespace zch
