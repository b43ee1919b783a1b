#include "sim/framer.h"

#include "link/protocol.h"

namespace zv::sim {

void RequestFramer::Push(std::span<const uint8_t> bytes) {
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void RequestFramer::DropFront() {
  discarded_.push_back(buffer_.front());
  buffer_.erase(buffer_.begin());
}

std::optional<std::vector<uint8_t>> RequestFramer::Next() {
  while (!buffer_.empty()) {
    const int len = proto::ExpectedRequestLength(buffer_);
    if (len < 0) {
      DropFront();
      continue;
    }
    if (len == 0 || buffer_.size() < static_cast<std::size_t>(len)) return std::nullopt;
    std::span<const uint8_t> candidate(buffer_.data(), static_cast<std::size_t>(len));
    if (!proto::RequestCrcValid(candidate)) {
      DropFront();
      continue;
    }
    std::vector<uint8_t> frame(candidate.begin(), candidate.end());
    buffer_.erase(buffer_.begin(), buffer_.begin() + len);
    return frame;
  }
  return std::nullopt;
}

std::vector<std::vector<uint8_t>> RequestFramer::Flush() {
  std::vector<std::vector<uint8_t>> frames;
  while (!buffer_.empty()) {
    if (auto f = Next()) {
      frames.push_back(std::move(*f));
    } else if (!buffer_.empty()) {
      DropFront();  // an unfinished request: give up on its first byte and look again
    }
  }
  return frames;
}

std::vector<uint8_t> RequestFramer::TakeDiscarded() {
  std::vector<uint8_t> out;
  out.swap(discarded_);
  return out;
}

}  // namespace zv::sim
