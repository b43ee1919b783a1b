// Cuts the byte stream from the program into requests. The length of a request follows
// from its function code (0x04 and 0x64: 8 bytes; 0x10: 7 + byte count + 2; 0x65:
// 3 + byte count + 2); a candidate whose address or code is unknown, or whose CRC does not
// match, loses its first byte and the search goes on from the next one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zv::sim {

// Length of the request that starts the buffer: 0 while too few bytes are there to tell,
// -1 when the bytes cannot start a request.
int ExpectedRequestLength(std::span<const uint8_t> start);

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
