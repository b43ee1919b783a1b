// Received bytes a serial backend has taken from the system and not yet handed on. The
// system's count of waiting bytes may stop below a memory page (4095 on a pseudo-terminal, and
// on a wine COM port behind one) until bytes are read: a reply of that size would stall there,
// and two polls seeing the same count would cut it short. So a backend drains the system into
// this queue at every status query, counts it as waiting, and reads from it first.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace zv {

class InputQueue {
 public:
  // Far more than any reply; draining stops here so that a runaway line cannot eat memory.
  static constexpr std::size_t kMaxBytes = 1 << 20;

  std::size_t Size() const { return bytes_.size(); }
  bool Full() const { return bytes_.size() >= kMaxBytes; }
  void Append(const uint8_t* data, std::size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
  void Clear() { bytes_.clear(); }
  // Moves up to size queued bytes to data, oldest first; returns how many.
  std::size_t Take(uint8_t* data, std::size_t size) {
    const std::size_t n = std::min(size, bytes_.size());
    std::copy_n(bytes_.begin(), n, data);
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
  }

 private:
  std::deque<uint8_t> bytes_;
};

}  // namespace zv
