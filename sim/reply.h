// What the simulated logger does about one request: the bytes it sends back, in bursts
// with pauses, or nothing at all.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zv::sim {

enum class RequestKind {
  kUnknown,      // a code, register or shape the logger does not answer
  kBadCrc,
  kConfigRead,   // 0x64
  kMeasurement,  // 0x04, register count up to 125
  kPage,         // 0x04, register count 0x00FF
  kClockWrite,   // 0x10 at register 11 or 5
  kErase,        // 0x10 at register 20
  kConfigWrite,  // 0x65
};

std::string_view RequestKindName(RequestKind kind);

// One write to the line, after a pause counted from the end of the previous burst (or,
// for the first, from the end of the request).
struct Burst {
  uint32_t delayMs = 0;
  std::vector<uint8_t> bytes;
};

struct Response {
  RequestKind request = RequestKind::kUnknown;
  std::vector<Burst> bursts;  // empty: the logger stays silent
  bool closeLink = false;     // the logger disappears: the port is to be closed for good

  bool Silent() const { return bursts.empty(); }
  // All bursts joined, as the program would see them if it waited long enough.
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> all;
    for (const Burst& b : bursts) all.insert(all.end(), b.bytes.begin(), b.bytes.end());
    return all;
  }
};

}  // namespace zv::sim
