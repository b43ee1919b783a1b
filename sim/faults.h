// Faults the simulated logger can be told to commit, so that the program's retry, timeout
// and error paths can be driven on purpose. Replies and page requests are numbered from 1
// in the order the logger meets them; a dropped reply still takes its number.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/reply.h"

namespace zv::sim {

struct SplitFault {
  uint32_t reply = 0;    // which reply is cut in two halves
  uint32_t pauseMs = 0;  // pause between the halves
};

struct ShortPageFault {
  uint32_t page = 0;     // which page request gets a short page
  uint32_t bytes = 2048; // bytes sent instead of 4096
};

// A reply cut after its first `bytes` bytes and closed with a CRC of its own: it passes the
// program's checks and still ends before the fields of its kind.
struct CutReplyFault {
  uint32_t reply = 0;
  uint32_t bytes = 4;
};

enum class VanishMode {
  kClose,  // the port goes away (the pseudo-terminal is closed)
  kMute,   // the port stays, the logger never answers again
};

struct FaultOptions {
  std::vector<uint32_t> dropReplies;
  std::vector<SplitFault> splitReplies;
  std::vector<ShortPageFault> shortPages;
  // The CRC's high byte is inverted; a raw page, which has no CRC, gets its last byte inverted.
  std::vector<uint32_t> corruptCrcReplies;
  std::vector<CutReplyFault> cutReplies;
  // The reply becomes an exception reply: the code with its top bit set, exception code 4
  // (device failure), CRC.
  std::vector<uint32_t> exceptionReplies;
  bool silent = false;  // ignores every request
  // After this many pages have been answered, the next request finds the logger gone.
  std::optional<uint32_t> vanishAfterPages;
  VanishMode vanishMode = VanishMode::kClose;
};

class FaultInjector {
 public:
  explicit FaultInjector(FaultOptions options) : options_(std::move(options)) {}

  enum class Gate { kAnswer, kIgnore, kVanish };
  // Asked before a request is acted on. kVanish is returned once, at the moment the logger
  // disappears; it is kIgnore from then on.
  Gate BeforeRequest();

  // Numbers the reply (when there is one) and applies the faults aimed at it.
  void Apply(Response& response);

  uint32_t RepliesSeen() const { return replies_; }
  uint32_t PageRequestsSeen() const { return pageRequests_; }
  bool Vanished() const { return vanished_; }

 private:
  FaultOptions options_;
  uint32_t replies_ = 0;
  uint32_t pageRequests_ = 0;
  uint32_t pagesAnswered_ = 0;
  bool vanished_ = false;
};

}  // namespace zv::sim
