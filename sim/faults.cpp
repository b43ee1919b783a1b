#include "sim/faults.h"

#include <algorithm>

#include "link/protocol.h"
#include "sim/frames.h"

namespace zv::sim {

namespace {

bool Contains(const std::vector<uint32_t>& v, uint32_t n) {
  return std::find(v.begin(), v.end(), n) != v.end();
}

}  // namespace

std::string_view RequestKindName(RequestKind kind) {
  switch (kind) {
    case RequestKind::kUnknown: return "unknown";
    case RequestKind::kBadCrc: return "bad-crc";
    case RequestKind::kConfigRead: return "config-read";
    case RequestKind::kMeasurement: return "measurement";
    case RequestKind::kPage: return "page";
    case RequestKind::kClockWrite: return "clock-write";
    case RequestKind::kErase: return "erase";
    case RequestKind::kConfigWrite: return "config-write";
  }
  return "unknown";
}

FaultInjector::Gate FaultInjector::BeforeRequest() {
  if (vanished_ || options_.silent) return Gate::kIgnore;
  if (options_.vanishAfterPages && pagesAnswered_ >= *options_.vanishAfterPages) {
    vanished_ = true;
    return options_.vanishMode == VanishMode::kClose ? Gate::kVanish : Gate::kIgnore;
  }
  return Gate::kAnswer;
}

void FaultInjector::Apply(Response& r) {
  const bool page = r.request == RequestKind::kPage;
  if (page) ++pageRequests_;
  if (r.Silent()) return;
  const uint32_t n = ++replies_;
  if (page) ++pagesAnswered_;

  if (Contains(options_.dropReplies, n)) {
    r.bursts.clear();
    return;
  }
  if (page) {
    for (const ShortPageFault& f : options_.shortPages) {
      if (f.page == pageRequests_) {
        std::vector<uint8_t>& bytes = r.bursts.back().bytes;
        bytes.resize(std::min<std::size_t>(bytes.size(), f.bytes));
      }
    }
    if (r.bursts.back().bytes.empty()) {
      r.bursts.clear();
      return;
    }
  }
  if (!page && Contains(options_.exceptionReplies, n)) {
    std::vector<uint8_t> frame = r.Bytes();
    frame.resize(2);
    frame[proto::kFunctionOffset] = static_cast<uint8_t>(frame[proto::kFunctionOffset] | proto::kExceptionBit);
    frame.push_back(proto::kExceptionDeviceFailure);
    AppendCrc(frame);
    r.bursts = {Burst{r.bursts.front().delayMs, std::move(frame)}};
  }
  for (const CutReplyFault& f : options_.cutReplies) {
    if (page || f.reply != n) continue;
    std::vector<uint8_t> frame = r.Bytes();
    frame.resize(std::min<std::size_t>(frame.size() - proto::kCrcBytes, f.bytes));
    AppendCrc(frame);
    r.bursts = {Burst{r.bursts.front().delayMs, std::move(frame)}};
  }
  if (Contains(options_.corruptCrcReplies, n)) {
    std::vector<uint8_t>& bytes = r.bursts.back().bytes;
    if (!bytes.empty()) bytes.back() = static_cast<uint8_t>(~bytes.back());
  }
  for (const SplitFault& f : options_.splitReplies) {
    if (f.reply != n || r.bursts.empty()) continue;
    Burst& last = r.bursts.back();
    if (last.bytes.size() < 2) continue;
    const auto half = static_cast<std::ptrdiff_t>(last.bytes.size() / 2);
    Burst tail{f.pauseMs, std::vector<uint8_t>(last.bytes.begin() + half, last.bytes.end())};
    last.bytes.resize(static_cast<std::size_t>(half));
    r.bursts.push_back(std::move(tail));
  }
}

}  // namespace zv::sim
