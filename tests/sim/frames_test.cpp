#include "sim/frames.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace zv::sim {
namespace {

using testing::Hex;

struct BuiltRequest {
  const char* name;
  std::vector<uint8_t> built;
  const char* expected;
};

class RequestBytes : public ::testing::TestWithParam<BuiltRequest> {};

TEST_P(RequestBytes, MatchTheProgramsBytes) {
  EXPECT_EQ(HexBytes(GetParam().built), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    AllRequests, RequestBytes,
    ::testing::Values(
        BuiltRequest{"config_read", ConfigReadRequest(), "01 64 00 00 00 0A F0 05"},
        BuiltRequest{"measurement", MeasurementRequest(), "01 04 00 00 00 11 30 06"},
        BuiltRequest{"first_page", PageRequest(0), "01 04 00 00 00 FF B0 4A"},
        BuiltRequest{"second_page", PageRequest(0x10), "01 04 00 10 00 FF B1 8F"},
        BuiltRequest{"last_page_2048", PageRequest(0x7FF0), "01 04 7F F0 00 FF A9 AD"},
        BuiltRequest{"last_page_4096", PageRequest(0xFFF0), "01 04 FF F0 00 FF 80 6D"},
        BuiltRequest{"clock_11", ClockWriteRequest(11, testing::Time(2024, 3, 15, 10, 20, 30)),
                     "01 10 00 0B 00 04 08 00 1E 0A 14 03 0F 00 18 AD 44"},
        BuiltRequest{"clock_5", ClockWriteRequest(5, testing::Time(2024, 3, 15, 10, 20, 30)),
                     "01 10 00 05 00 04 08 00 1E 0A 14 03 0F 00 18 44 93"},
        BuiltRequest{"config_write_start_values", ConfigWriteRequest(0x0021, 50, 300),
                     "01 65 0C 00 21 00 00 00 00 00 00 00 32 01 2C A7 32"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Frames, EraseRequestIsElevenBytesWithItsCrc) {
  const std::vector<uint8_t> erase = EraseRequest();
  ASSERT_EQ(erase.size(), 11u);
  EXPECT_EQ(HexBytes(std::span(erase).first(9)), "01 10 00 14 00 02 02 00 00");
  EXPECT_TRUE(proto::RequestCrcValid(erase));
}

TEST(Frames, ConfigWriteCrcCoversOnlyTheFirstThirteenBytes) {
  std::vector<uint8_t> f = Hex("01 65 0C 00 21 00 00 00 00 00 00 00 32 01 2C A7 32");
  EXPECT_TRUE(proto::RequestCrcValid(f));
  f[13] = 0x99;  // the ampere rating lies outside the CRC
  f[14] = 0x77;
  EXPECT_TRUE(proto::RequestCrcValid(f));
  f[12] = 0x33;  // the millivolt rating does not
  EXPECT_FALSE(proto::RequestCrcValid(f));
}

TEST(Frames, CrcChecksRejectShortAndSwappedFrames) {
  EXPECT_FALSE(proto::RequestCrcValid(Hex("01 04 30")));
  EXPECT_FALSE(proto::RequestCrcValid(Hex("01 04 00 00 00 11 06 30")));  // CRC high byte first
  EXPECT_TRUE(proto::RequestCrcValid(Hex("01 04 00 00 00 11 30 06")));
}

}  // namespace
}  // namespace zv::sim
