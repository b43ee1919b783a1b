#include "framework/qt/chart/live_feed.h"

namespace zch {

void LiveFeed::Push(const zan::Sample& sample) {
  const std::lock_guard<std::mutex> lock(mutex_);
  pending_.push_back(sample);
}

std::size_t LiveFeed::MoveInto(zan::Series& series) {
  std::vector<zan::Sample> came;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    came.swap(pending_);
  }
  double last = zan::kUndated;
  for (auto it = series.samples.rbegin(); it != series.samples.rend(); ++it) {
    if (zan::IsDated(it->t)) {
      last = it->t;
      break;
    }
  }
  for (const zan::Sample& s : came) {
    if (!zan::IsDated(s.t)) {
      ++series.undated;
    } else {
      if (zan::IsDated(last) && s.t < last) series.ordered = false;
      last = s.t;
    }
  }
  series.samples.insert(series.samples.end(), came.begin(), came.end());
  return came.size();
}

}  // namespace zch
