// A series drawn at the screen's width: the least and the greatest value of a channel in each
// of a number of equal spans of time, so that a chart draws what a pixel column holds and no
// peak is lost between the samples it would have picked.
#pragma once

#include <cstddef>
#include <vector>

#include "analysis/series.h"

namespace zan {

enum class Channel { kCurrent, kVoltage, kPower, kCounter };

// A channel of a sample; a file without a power column gets voltage times current.
double ChannelValue(const Series& series, const Sample& sample, Channel channel);

struct Bucket {
  std::size_t count = 0;  // dated samples in the span; 0: the logger had none there
  double min = 0;
  double max = 0;
};

// buckets equal spans from `from` to `to` (seconds as Sample::t), the last one closed. With the
// samples in order the span's samples are found by bisection, so the cost follows the samples
// in view, not the file; otherwise every sample is looked at.
std::vector<Bucket> Decimate(const Series& series, Channel channel, double from, double to, std::size_t buckets);

}  // namespace zan
