// Each fault the simulated logger can be told to commit, seen at the protocol level.
#include <gtest/gtest.h>

#include "sim/device.h"
#include "sim/frames.h"
#include "test_util.h"

namespace zv::sim {
namespace {

using testing::Hex;
using testing::ReplyCrcValid;

class FaultTest : public ::testing::Test {
 protected:
  FaultTest() { clock_.SetLocalTime(testing::Time(2024, 3, 15, 10, 20, 30)); }

  std::unique_ptr<SimDevice> Make(const FaultOptions& faults) {
    DeviceOptions o;
    o.faults = faults;
    o.records = 600;
    o.frozen = FrozenBattery{10.0, 25.0, 1.0};
    o.clockStopped = true;
    return std::make_unique<SimDevice>(o, clock_);
  }

  VirtualClock clock_;
};

TEST_F(FaultTest, DropReplyCountsEveryReplyWhateverItsKind) {
  FaultOptions f;
  f.dropReplies = {2, 4};
  auto d = Make(f);
  EXPECT_FALSE(d->Handle(ConfigReadRequest()).Silent());   // reply 1
  EXPECT_TRUE(d->Handle(MeasurementRequest()).Silent());   // reply 2, dropped
  EXPECT_TRUE(d->Handle(Hex("01 04 00 00 00 11 30 07")).Silent());  // bad CRC: no reply, no number
  EXPECT_FALSE(d->Handle(PageRequest(0)).Silent());        // reply 3
  EXPECT_TRUE(d->Handle(ConfigWriteRequest(100, 50, 300)).Silent());  // reply 4, dropped...
  EXPECT_EQ(d->Config().configWord, 100);                  // ...but carried out
  EXPECT_FALSE(d->Handle(MeasurementRequest()).Silent());  // reply 5
  EXPECT_EQ(d->GetCounters().replies, 5u);
}

TEST_F(FaultTest, SplitReplyComesInTwoHalvesWithThePause) {
  FaultOptions f;
  f.splitReplies = {{1, 250}};
  auto d = Make(f);
  const Response r = d->Handle(MeasurementRequest());
  ASSERT_EQ(r.bursts.size(), 2u);
  EXPECT_EQ(r.bursts[0].delayMs, 0u);
  EXPECT_EQ(r.bursts[0].bytes.size(), 19u);
  EXPECT_EQ(r.bursts[1].delayMs, 250u);
  EXPECT_EQ(r.bursts[1].bytes.size(), 20u);
  EXPECT_TRUE(ReplyCrcValid(r.Bytes()));
  EXPECT_EQ(d->Handle(MeasurementRequest()).bursts.size(), 1u);
}

TEST_F(FaultTest, SplitEraseAcknowledgementKeepsTheEraseTimeFirst) {
  FaultOptions f;
  f.splitReplies = {{1, 40}};
  auto d = Make(f);
  const Response r = d->Handle(EraseRequest());
  ASSERT_EQ(r.bursts.size(), 2u);
  EXPECT_EQ(r.bursts[0].delayMs, 3000u);
  EXPECT_EQ(r.bursts[1].delayMs, 40u);
}

TEST_F(FaultTest, ShortPageHitsOnlyTheNamedPageRequest) {
  FaultOptions f;
  f.shortPages = {{2, 2048}, {3, 100}};
  auto d = Make(f);
  EXPECT_EQ(d->Handle(MeasurementRequest()).Bytes().size(), 39u);  // not a page: not counted
  const std::vector<uint8_t> full = d->Page(0x10);
  EXPECT_EQ(d->Handle(PageRequest(0)).Bytes().size(), 4096u);
  const std::vector<uint8_t> second = d->Handle(PageRequest(0x10)).Bytes();
  ASSERT_EQ(second.size(), 2048u);
  EXPECT_TRUE(std::equal(second.begin(), second.end(), full.begin()));
  EXPECT_EQ(d->Handle(PageRequest(0x20)).Bytes().size(), 100u);
  EXPECT_EQ(d->Handle(PageRequest(0x30)).Bytes().size(), 4096u);
}

TEST_F(FaultTest, CorruptCrcSpoilsOnlyTheCrc) {
  FaultOptions f;
  f.corruptCrcReplies = {1, 2};
  auto d = Make(f);
  const std::vector<uint8_t> clean = [&] {
    auto other = Make({});
    return other->Handle(MeasurementRequest()).Bytes();
  }();
  const std::vector<uint8_t> spoilt = d->Handle(MeasurementRequest()).Bytes();
  ASSERT_EQ(spoilt.size(), clean.size());
  EXPECT_FALSE(ReplyCrcValid(spoilt));
  EXPECT_TRUE(std::equal(spoilt.begin(), spoilt.end() - 1, clean.begin()));
  const std::vector<uint8_t> page = d->Handle(PageRequest(0)).Bytes();
  ASSERT_EQ(page.size(), 4096u);
  EXPECT_EQ(page.back(), static_cast<uint8_t>(~d->Page(0).back()));
  EXPECT_TRUE(ReplyCrcValid(d->Handle(MeasurementRequest()).Bytes()));
}

TEST_F(FaultTest, ExceptionAndCutRepliesCarryACrcOfTheirOwn) {
  FaultOptions f;
  f.exceptionReplies = {1, 2};
  f.cutReplies = {{3, 9}};
  auto d = Make(f);
  EXPECT_EQ(d->Handle(MeasurementRequest()).Bytes(), Hex("01 84 04 42 C3"));
  EXPECT_EQ(d->Handle(ConfigReadRequest()).Bytes(), Hex("01 E4 04 6A C3"));
  EXPECT_EQ(d->Handle(ConfigReadRequest()).Bytes(), Hex("01 64 14 00 6E 00 7B 00 32 4C BF"));
  EXPECT_EQ(d->Handle(ConfigReadRequest()).Bytes().size(), 25u);  // reply 4 is whole again
}

TEST_F(FaultTest, SilentDeviceAnswersNothingAndChangesNothing) {
  FaultOptions f;
  f.silent = true;
  auto d = Make(f);
  for (const auto& req : {ConfigReadRequest(), MeasurementRequest(), PageRequest(0), EraseRequest(),
                          ConfigWriteRequest(77, 50, 300)}) {
    const Response r = d->Handle(req);
    EXPECT_TRUE(r.Silent());
    EXPECT_FALSE(r.closeLink);
    EXPECT_EQ(r.request, ClassifyRequest(req));  // still named in the log
  }
  EXPECT_EQ(d->RecordCount(), 600u);
  EXPECT_EQ(d->Config().configWord, 33);
}

struct VanishCase {
  VanishMode mode;
  bool closes;
};

class Vanish : public FaultTest, public ::testing::WithParamInterface<VanishCase> {};

TEST_P(Vanish, AfterNPagesTheDeviceIsGoneForGood) {
  FaultOptions f;
  f.vanishAfterPages = 2;
  f.vanishMode = GetParam().mode;
  auto d = Make(f);
  EXPECT_FALSE(d->Handle(MeasurementRequest()).Silent());
  EXPECT_FALSE(d->Handle(PageRequest(0)).Silent());
  EXPECT_FALSE(d->Handle(PageRequest(0x10)).Silent());
  const Response gone = d->Handle(PageRequest(0x20));
  EXPECT_TRUE(gone.Silent());
  EXPECT_EQ(gone.closeLink, GetParam().closes);
  EXPECT_TRUE(d->GetCounters().vanished);
  for (const auto& req : {MeasurementRequest(), PageRequest(0x20), ConfigReadRequest()}) {
    const Response r = d->Handle(req);
    EXPECT_TRUE(r.Silent());
    EXPECT_FALSE(r.closeLink);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, Vanish,
                         ::testing::Values(VanishCase{VanishMode::kClose, true}, VanishCase{VanishMode::kMute, false}),
                         [](const auto& info) { return std::string(info.param.closes ? "close" : "mute"); });

TEST_F(FaultTest, VanishAfterZeroPagesMeetsTheFirstRequest) {
  FaultOptions f;
  f.vanishAfterPages = 0;
  auto d = Make(f);
  EXPECT_TRUE(d->Handle(ConfigReadRequest()).closeLink);
}

}  // namespace
}  // namespace zv::sim
