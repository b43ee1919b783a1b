#include "analysis/decimate.h"

#include <algorithm>
#include <cmath>

namespace zan {

double ChannelValue(const Series& series, const Sample& s, Channel channel) {
  switch (channel) {
    case Channel::kCurrent: return s.current;
    case Channel::kVoltage: return s.voltage;
    case Channel::kPower: return series.hasPower ? double{s.power} : double{s.current} * s.voltage;
    default: return s.counter;
  }
}

std::vector<Bucket> Decimate(const Series& series, Channel channel, double from, double to, std::size_t buckets) {
  std::vector<Bucket> out(buckets);
  if (buckets == 0 || !(to > from)) return out;
  const std::vector<Sample>& s = series.samples;
  std::size_t begin = 0, end = s.size();
  if (series.ordered && series.undated == 0) {
    // Undated samples have no place on the time line, so bisection needs a file without them.
    const auto before = [](const Sample& a, double t) { return a.t < t; };
    begin = static_cast<std::size_t>(std::lower_bound(s.begin(), s.end(), from, before) - s.begin());
    end = static_cast<std::size_t>(std::upper_bound(s.begin() + static_cast<std::ptrdiff_t>(begin), s.end(), to,
                                                    [](double t, const Sample& a) { return t < a.t; }) -
                                   s.begin());
  }
  const double width = (to - from) / static_cast<double>(buckets);
  for (std::size_t i = begin; i < end; ++i) {
    const Sample& x = s[i];
    if (!IsDated(x.t) || x.t < from || x.t > to) continue;
    const auto k = std::min(buckets - 1, static_cast<std::size_t>((x.t - from) / width));
    const double v = ChannelValue(series, x, channel);
    Bucket& b = out[k];
    if (b.count == 0) {
      b.min = b.max = v;
    } else {
      b.min = std::min(b.min, v);
      b.max = std::max(b.max, v);
    }
    ++b.count;
  }
  return out;
}

}  // namespace zan
