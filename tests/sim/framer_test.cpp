#include "sim/framer.h"

#include <gtest/gtest.h>

#include "sim/frames.h"
#include "test_util.h"

namespace zv::sim {
namespace {

using testing::Hex;

const char* kMeasurement = "01 04 00 00 00 11 30 06";
const char* kClock = "01 10 00 0B 00 04 08 00 1E 0A 14 03 0F 00 18 AD 44";
const char* kErase = "01 10 00 14 00 02 02 00 00 A5 00";
const char* kConfigWrite = "01 65 0C 00 21 00 00 00 00 00 00 00 32 01 2C A7 32";

struct StreamCase {
  const char* name;
  std::string stream;
  std::vector<std::string> frames;  // what Next() yields, in order
  std::size_t discarded;
};

std::string Cat(std::initializer_list<std::string> parts) {
  std::string s;
  for (const auto& p : parts) s += (s.empty() ? "" : " ") + p;
  return s;
}

class Streams : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Streams, AreCutIntoRequests) {
  const StreamCase& c = GetParam();
  for (const bool byteByByte : {false, true}) {
    RequestFramer framer;
    std::vector<std::string> got;
    const std::vector<uint8_t> bytes = Hex(c.stream);
    const auto drain = [&] {
      while (auto f = framer.Next()) got.push_back(HexBytes(*f));
    };
    if (byteByByte) {
      for (uint8_t b : bytes) {
        framer.Push(std::span(&b, 1));
        drain();
      }
    } else {
      framer.Push(bytes);
      drain();
    }
    EXPECT_EQ(got, c.frames) << (byteByByte ? "byte by byte" : "at once");
    EXPECT_EQ(framer.TakeDiscarded().size(), c.discarded);
    EXPECT_FALSE(framer.HasPending());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Streams,
    ::testing::Values(
        StreamCase{"measurement", kMeasurement, {kMeasurement}, 0},
        StreamCase{"clock_write", kClock, {kClock}, 0},
        StreamCase{"erase", kErase, {kErase}, 0},
        StreamCase{"config_write", kConfigWrite, {kConfigWrite}, 0},
        StreamCase{"back_to_back", Cat({kMeasurement, kErase, kConfigWrite, kMeasurement}),
                   {kMeasurement, kErase, kConfigWrite, kMeasurement}, 0},
        StreamCase{"garbage_first", Cat({"00 FF 13 37", kMeasurement}), {kMeasurement}, 4},
        StreamCase{"garbage_between", Cat({kMeasurement, "FF FF", kClock}), {kMeasurement, kClock}, 2},
        StreamCase{"bad_crc_then_good", Cat({"01 04 00 00 00 11 30 07", kMeasurement}), {kMeasurement}, 8},
        StreamCase{"unknown_code_with_valid_crc", Cat({"01 03 00 00 00 11 85 C6", kMeasurement}), {kMeasurement}, 8},
        StreamCase{"address_byte_inside_garbage", Cat({"01 01 01", kMeasurement}), {kMeasurement}, 3},
        StreamCase{"echoed_reply_prefix", Cat({"01 04 22 00", kMeasurement}), {kMeasurement}, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Framer, WaitsForTheRestOfARequest) {
  RequestFramer framer;
  const std::vector<uint8_t> clock = Hex(kClock);
  framer.Push(std::span(clock).first(10));
  EXPECT_FALSE(framer.Next());
  EXPECT_TRUE(framer.HasPending());
  framer.Push(std::span(clock).subspan(10));
  const auto f = framer.Next();
  ASSERT_TRUE(f);
  EXPECT_EQ(HexBytes(*f), kClock);
}

TEST(Framer, FlushGivesUpAnUnfinishedRequestAndFindsWholeOnesBehindIt) {
  RequestFramer framer;
  // A write header announcing 255 data bytes swallows the measurement request that follows
  // until the line goes quiet.
  framer.Push(Hex(Cat({"01 10 00 0B 00 04 FF", kMeasurement})));
  EXPECT_FALSE(framer.Next());
  const auto frames = framer.Flush();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(HexBytes(frames[0]), kMeasurement);
  EXPECT_FALSE(framer.HasPending());
  EXPECT_EQ(framer.TakeDiscarded().size(), 7u);
}

TEST(Framer, FlushOfPureGarbageLeavesNothing) {
  RequestFramer framer;
  framer.Push(Hex("01 04 00 00"));
  EXPECT_FALSE(framer.Next());
  EXPECT_TRUE(framer.Flush().empty());
  EXPECT_FALSE(framer.HasPending());
}

TEST(Framer, ExpectedLengthsFollowTheFunctionCode) {
  EXPECT_EQ(proto::ExpectedRequestLength(Hex("01 04")), 8);
  EXPECT_EQ(proto::ExpectedRequestLength(Hex("01 64")), 8);
  EXPECT_EQ(proto::ExpectedRequestLength(Hex("01 10 00 0B 00 04")), 0);
  EXPECT_EQ(proto::ExpectedRequestLength(Hex("01 10 00 0B 00 04 08")), 17);
  EXPECT_EQ(proto::ExpectedRequestLength(Hex("01 65")), 0);
  EXPECT_EQ(proto::ExpectedRequestLength(Hex("01 65 0C")), 17);
  EXPECT_EQ(proto::ExpectedRequestLength(Hex("01 03")), -1);
  EXPECT_EQ(proto::ExpectedRequestLength(Hex("02")), -1);
  EXPECT_EQ(proto::ExpectedRequestLength(Hex("01")), 0);
}

}  // namespace
}  // namespace zv::sim
