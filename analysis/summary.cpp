#include "analysis/summary.h"

#include <algorithm>

namespace zan {

namespace {

int Slot(Channel channel) {
  switch (channel) {
    case Channel::kCurrent: return 0;
    case Channel::kVoltage: return 1;
    default: return 2;
  }
}

void Take(Bucket& b, double min, double max, std::size_t count) {
  if (b.count == 0) {
    b.min = min;
    b.max = max;
  } else {
    b.min = std::min(b.min, min);
    b.max = std::max(b.max, max);
  }
  b.count += count;
}

}  // namespace

Summary::Node Summary::Leaf(const Series& series, std::size_t first) {
  Node n;
  for (std::size_t i = first; i < first + kBlock; ++i) {
    const Sample& x = series.samples[i];
    if (!IsDated(x.t)) continue;
    const float v[3] = {x.current, x.voltage, x.counter};
    const double p = ChannelValue(series, x, Channel::kPower);
    if (n.count == 0) {
      n.tMin = n.tMax = x.t;
      n.powerMin = n.powerMax = p;
      std::copy(v, v + 3, n.min);
      std::copy(v, v + 3, n.max);
    } else {
      n.tMin = std::min(n.tMin, x.t);
      n.tMax = std::max(n.tMax, x.t);
      n.powerMin = std::min(n.powerMin, p);
      n.powerMax = std::max(n.powerMax, p);
      for (int c = 0; c < 3; ++c) {
        n.min[c] = std::min(n.min[c], v[c]);
        n.max[c] = std::max(n.max[c], v[c]);
      }
    }
    ++n.count;
  }
  return n;
}

Summary::Node Summary::Join(const Node& a, const Node& b) {
  if (a.count == 0) return b;
  if (b.count == 0) return a;
  Node n;
  n.tMin = std::min(a.tMin, b.tMin);
  n.tMax = std::max(a.tMax, b.tMax);
  n.powerMin = std::min(a.powerMin, b.powerMin);
  n.powerMax = std::max(a.powerMax, b.powerMax);
  for (int c = 0; c < 3; ++c) {
    n.min[c] = std::min(a.min[c], b.min[c]);
    n.max[c] = std::max(a.max[c], b.max[c]);
  }
  n.count = a.count + b.count;
  return n;
}

void Summary::Clear() { levels_.clear(); }

void Summary::Extend(const Series& series) {
  const std::size_t n = series.samples.size();
  if (n < Covered()) Clear();  // not the series summarised: no block of it can be kept
  if (levels_.empty()) {
    levels_.emplace_back();
    levels_[0].reserve(n / kBlock);  // a file comes whole; the live view grows by doubling
  }
  for (std::size_t first = Covered(); first + kBlock <= n; first += kBlock) levels_[0].push_back(Leaf(series, first));
  for (std::size_t k = 0; levels_[k].size() >= 2; ++k) {
    if (k + 1 == levels_.size()) {
      levels_.emplace_back();
      levels_.back().reserve(levels_[k].size() / 2);
    }
    const std::vector<Node>& below = levels_[k];
    std::vector<Node>& above = levels_[k + 1];
    for (std::size_t i = above.size(); 2 * i + 1 < below.size(); ++i) above.push_back(Join(below[2 * i], below[2 * i + 1]));
  }
}

std::size_t Summary::Bytes() const {
  std::size_t bytes = levels_.capacity() * sizeof(levels_[0]);
  for (const auto& level : levels_) bytes += level.capacity() * sizeof(Node);
  return bytes;
}

namespace {

// One decimation: the spans, and the walk down the levels to the blocks a span's edge cuts.
struct Walk {
  const Series& series;
  Channel channel;
  double from, to, width;
  std::vector<Bucket>& out;

  std::size_t Column(double t) const {
    return std::min(out.size() - 1, static_cast<std::size_t>((t - from) / width));
  }

  void Samples(std::size_t first, std::size_t end) const {
    for (std::size_t i = first; i < end; ++i) {
      const Sample& x = series.samples[i];
      if (!IsDated(x.t) || x.t < from || x.t > to) continue;
      const double v = ChannelValue(series, x, channel);
      Take(out[Column(x.t)], v, v, 1);
    }
  }
};

}  // namespace

std::vector<Bucket> Summary::Decimate(const Series& series, Channel channel, double from, double to,
                                      std::size_t buckets) const {
  std::vector<Bucket> out(buckets);
  if (buckets == 0 || !(to > from)) return out;
  const Walk walk{series, channel, from, to, (to - from) / static_cast<double>(buckets), out};
  const int slot = Slot(channel);
  const bool power = channel == Channel::kPower;
  // A block whose dated samples lie in one column is taken whole (the columns follow time, so
  // every time between its first and last falls there too); one an edge cuts is split.
  const auto visit = [&](const auto& self, std::size_t level, std::size_t index) -> void {
    const Node& n = levels_[level][index];
    if (n.count == 0 || n.tMax < from || n.tMin > to) return;
    if (n.tMin >= from && n.tMax <= to) {
      const std::size_t column = walk.Column(n.tMin);
      if (column == walk.Column(n.tMax)) {
        if (power) Take(out[column], n.powerMin, n.powerMax, n.count);
        else Take(out[column], n.min[slot], n.max[slot], n.count);
        return;
      }
    }
    if (level == 0) {
      walk.Samples(index * kBlock, (index + 1) * kBlock);
    } else {
      self(self, level - 1, 2 * index);
      self(self, level - 1, 2 * index + 1);
    }
  };
  // The top level, then at each level below the one block left without a pair, then the
  // samples after the last whole block.
  std::size_t paired = 0;
  for (std::size_t level = levels_.size(); level-- > 0;) {
    for (std::size_t i = paired; i < levels_[level].size(); ++i) visit(visit, level, i);
    paired = 2 * levels_[level].size();
  }
  walk.Samples(Covered(), series.samples.size());
  return out;
}

}  // namespace zan
