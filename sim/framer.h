// Cuts the byte stream from the program into requests. The length of a request follows
// from its function code and, for writes, its byte count (proto::ExpectedRequestLength); a
// candidate whose address or code is unknown, or whose CRC does not match, loses its first
// byte and the search goes on from the next one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zv::sim {

class RequestFramer {
 public:
  void Push(std::span<const uint8_t> bytes);

  // The next complete request with a valid CRC, or nothing until more bytes arrive.
  std::optional<std::vector<uint8_t>> Next();

  // The line went quiet: whatever waits will not be completed. Returns the whole requests
  // still hidden in it and drops the rest.
  std::vector<std::vector<uint8_t>> Flush();

  bool HasPending() const { return !buffer_.empty(); }
  void Clear() { buffer_.clear(); }

  // Bytes dropped since the last call, in order.
  std::vector<uint8_t> TakeDiscarded();

 private:
  void DropFront();

  std::vector<uint8_t> buffer_;
  std::vector<uint8_t> discarded_;
};

}  // namespace zv::sim
