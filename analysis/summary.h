// The least and greatest value of each channel over blocks of a series, built once when a file
// is opened: blocks of kBlock samples, then pairs of those, pairs of pairs and so on. A frame of
// a chart then decimates the whole file in time that follows the pixels, not the samples: a
// block whose samples all fall in one pixel column is taken whole, and only the blocks that a
// column's edge cuts are looked into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/decimate.h"
#include "analysis/series.h"

namespace zan {

class Summary {
 public:
  // Samples in a block of the lowest level. Each block costs 64 bytes and there are about two
  // blocks for every kBlock samples, so the summary is a twelfth of the 24-byte samples.
  static constexpr std::size_t kBlock = 64;

  // Summarises the samples of series that came since the last call, all of them the first
  // time: a series that grows at its end (the live view) costs only its new part. Another
  // series needs Clear() first.
  void Extend(const Series& series);
  void Clear();

  // The same buckets as zan::Decimate of the same arguments, sample for sample; series is the
  // one summarised.
  std::vector<Bucket> Decimate(const Series& series, Channel channel, double from, double to,
                               std::size_t buckets) const;

  // Samples in whole blocks (the rest is looked at one by one) and the bytes the summary holds.
  std::size_t Covered() const { return levels_.empty() ? 0 : levels_[0].size() * kBlock; }
  std::size_t Bytes() const;

 private:
  struct Node {
    double tMin = 0, tMax = 0;  // of the dated samples; meaningless with count 0
    double powerMin = 0, powerMax = 0;  // double: voltage times current is exact in it
    float min[3] = {0, 0, 0};  // current, voltage, counter
    float max[3] = {0, 0, 0};
    std::uint32_t count = 0;  // dated samples
  };

  static Node Leaf(const Series& series, std::size_t first);
  static Node Join(const Node& a, const Node& b);

  // levels_[0] holds the blocks of kBlock samples, levels_[k] the pairs of levels_[k - 1]. Only
  // whole blocks and whole pairs are kept, so a block once made never changes.
  std::vector<std::vector<Node>> levels_;
};

}  // namespace zan
