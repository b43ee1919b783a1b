// The simulated logger's answers, request by request, without any transport.
#include <gtest/gtest.h>

#include "sim/device.h"
#include "sim/frames.h"
#include "test_util.h"

namespace zv::sim {
namespace {

using testing::Hex;
using testing::Reg;
using testing::ReplyCrcValid;

class ProtocolTest : public ::testing::Test {
 protected:
  ProtocolTest() { clock_.SetLocalTime(testing::Time(2024, 3, 15, 10, 20, 30)); }

  SimDevice MakeDevice(DeviceOptions o = {}) { return SimDevice(std::move(o), clock_); }

  VirtualClock clock_;
};

struct ReplyShape {
  const char* name;
  const char* request;
  RequestKind kind;
  std::size_t length;   // 0: silence
  const char* prefix;   // the reply's first bytes
  bool framed;          // ends in a CRC over the rest
};

class ReplyShapes : public ProtocolTest, public ::testing::WithParamInterface<ReplyShape> {};

TEST_P(ReplyShapes, EachRequestGetsItsReply) {
  const ReplyShape& c = GetParam();
  SimDevice device = MakeDevice();
  const Response r = device.Handle(Hex(c.request));
  EXPECT_EQ(r.request, c.kind);
  EXPECT_EQ(ClassifyRequest(Hex(c.request)), c.kind);
  EXPECT_FALSE(r.closeLink);
  const std::vector<uint8_t> bytes = r.Bytes();
  ASSERT_EQ(bytes.size(), c.length) << HexBytes(bytes);
  if (c.length == 0) {
    EXPECT_TRUE(r.Silent());
    return;
  }
  const std::vector<uint8_t> prefix = Hex(c.prefix);
  ASSERT_GE(bytes.size(), prefix.size());
  EXPECT_EQ(HexBytes(std::span(bytes).first(prefix.size())), c.prefix);
  if (c.framed) {
    EXPECT_TRUE(ReplyCrcValid(bytes)) << HexBytes(bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ReplyShapes,
    ::testing::Values(
        ReplyShape{"config_read", "01 64 00 00 00 0A F0 05", RequestKind::kConfigRead, 25, "01 64 14", true},
        ReplyShape{"measurement", "01 04 00 00 00 11 30 06", RequestKind::kMeasurement, 39, "01 04 22", true},
        ReplyShape{"page", "01 04 00 00 00 FF B0 4A", RequestKind::kPage, 4096, "", false},
        ReplyShape{"clock_11", "01 10 00 0B 00 04 08 00 1E 0A 14 03 0F 00 18 AD 44", RequestKind::kClockWrite, 8,
                   "01 10 00 0B 00 04", true},
        ReplyShape{"clock_5", "01 10 00 05 00 04 08 00 1E 0A 14 03 0F 00 18 44 93", RequestKind::kClockWrite, 8,
                   "01 10 00 05 00 04", true},
        ReplyShape{"erase", "01 10 00 14 00 02 02 00 00 A5 00", RequestKind::kErase, 8, "01 10 00 14 00 02", true},
        ReplyShape{"config_write", "01 65 0C 00 21 00 00 00 00 00 00 00 32 01 2C A7 32", RequestKind::kConfigWrite,
                   4, "01 65", true},
        ReplyShape{"bad_crc_measurement", "01 04 00 00 00 11 30 07", RequestKind::kBadCrc, 0, "", false},
        ReplyShape{"bad_crc_config_read", "01 64 00 00 00 0A 05 F0", RequestKind::kBadCrc, 0, "", false},
        ReplyShape{"bad_crc_page", "01 04 00 00 00 FF B0 4B", RequestKind::kBadCrc, 0, "", false},
        ReplyShape{"bad_crc_clock", "01 10 00 0B 00 04 08 00 1E 0A 14 03 0F 00 18 AD 45", RequestKind::kBadCrc, 0,
                   "", false},
        ReplyShape{"bad_crc_config_write", "01 65 0C 00 21 00 00 00 00 00 00 00 32 01 2C A7 33",
                   RequestKind::kBadCrc, 0, "", false},
        ReplyShape{"unknown_code_03", "01 03 00 00 00 11 85 C6", RequestKind::kUnknown, 0, "", false},
        ReplyShape{"other_address", "02 04 00 00 00 11 30 35", RequestKind::kUnknown, 0, "", false},
        ReplyShape{"write_elsewhere", "01 10 00 1E 00 01 02 00 00 A5 EE", RequestKind::kUnknown, 0, "", false},
        ReplyShape{"too_short", "01 04 30", RequestKind::kUnknown, 0, "", false},
        ReplyShape{"measurement_of_no_registers", "01 04 00 00 00 00 F0 0A", RequestKind::kUnknown, 0, "", false},
        ReplyShape{"config_read_of_126_registers", "01 64 00 00 00 7E F0 22", RequestKind::kUnknown, 0, "", false},
        ReplyShape{"clock_write_of_three_registers", "01 10 00 0B 00 03 06 00 01 02 03 04 05 99 DE",
                   RequestKind::kUnknown, 0, "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProtocolTest, UnknownRequestsWithValidCrcStaySilent) {
  SimDevice device = MakeDevice();
  for (const char* body : {"01 03 00 00 00 11", "01 06 00 01 00 03", "01 04 00 00 00 00", "01 04 00 00 00 7E",
                           "01 10 00 0B 00 03 06 00 01 02 03 04 05"}) {
    std::vector<uint8_t> f = Hex(body);
    AppendCrc(f);
    EXPECT_TRUE(device.Handle(f).Silent()) << body;
  }
}

TEST_F(ProtocolTest, ConfigReplyCarriesIdentityThenZeros) {
  DeviceOptions o;
  o.config = {210, 4321, 75, 500, 48, 0x1032};
  SimDevice device = MakeDevice(o);
  const std::vector<uint8_t> r = device.Handle(ConfigReadRequest()).Bytes();
  ASSERT_EQ(r.size(), 25u);
  const uint16_t expected[10] = {210, 4321, 75, 500, 48, 0x1032, 0, 0, 0, 0};
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(Reg(r, i), expected[i]) << "register " << i;
}

TEST_F(ProtocolTest, ConfigWriteIsStoredAndReadBack) {
  SimDevice device = MakeDevice();
  const Response ack = device.Handle(ConfigWriteRequest(0x11F4, 75, 600));
  EXPECT_EQ(HexBytes(ack.Bytes()), HexBytes([] {
              std::vector<uint8_t> f{0x01, 0x65};
              AppendCrc(f);
              return f;
            }()));
  const std::vector<uint8_t> r = device.Handle(ConfigReadRequest()).Bytes();
  ASSERT_EQ(r.size(), 25u);
  EXPECT_EQ(Reg(r, 2), 75);
  EXPECT_EQ(Reg(r, 3), 600);
  EXPECT_EQ(Reg(r, 5), 0x11F4);
  EXPECT_EQ(device.Config().RecordPeriodMs(), 5000u);
  EXPECT_TRUE(device.Config().EventFlag());
}

TEST_F(ProtocolTest, MeasurementRegistersMatchWhatTheDeviceReports) {
  DeviceOptions o;
  o.frozen = FrozenBattery{-12.5, 25.2, 3.75};
  SimDevice device = MakeDevice(o);
  const std::vector<uint8_t> r = device.Handle(MeasurementRequest()).Bytes();
  ASSERT_EQ(r.size(), 39u);
  const MeasurementRegisters regs = device.Measurement();
  for (std::size_t i = 0; i < regs.size(); ++i) EXPECT_EQ(Reg(r, i), regs[i]) << "register " << i;
  // Version 110: low range 50 A and high range 300 A at 5000 counts.
  EXPECT_EQ(static_cast<int16_t>(regs[2]), -1250);
  EXPECT_EQ(static_cast<int16_t>(regs[5]), -208);
  EXPECT_EQ(regs[6], 5250);
  EXPECT_EQ(regs[7], 0);
  EXPECT_EQ(regs[8], 375);
}

TEST_F(ProtocolTest, ReadsHonourStartAndCount) {
  SimDevice device = MakeDevice();
  std::vector<uint8_t> req{0x01, 0x04, 0x00, 0x0B, 0x00, 0x04};
  AppendCrc(req);
  const std::vector<uint8_t> r = device.Handle(req).Bytes();
  ASSERT_EQ(r.size(), 13u);
  EXPECT_EQ(r[2], 8);
  EXPECT_EQ(Reg(r, 0), 30000);  // 10:20:30.000 from the PC clock
  EXPECT_EQ(Reg(r, 1), 0x0A14);
  EXPECT_EQ(Reg(r, 2), 0x030F);
  EXPECT_EQ(Reg(r, 3), 24);
}

TEST_F(ProtocolTest, DeviceClockRunsFromTheTimeItWasSet) {
  SimDevice device = MakeDevice();
  auto clockRegs = [&] {
    const std::vector<uint8_t> r = device.Handle(MeasurementRequest()).Bytes();
    return std::vector<uint16_t>{Reg(r, 11), Reg(r, 12), Reg(r, 13), Reg(r, 14)};
  };
  EXPECT_EQ(clockRegs(), (std::vector<uint16_t>{30000, 0x0A14, 0x030F, 24}));
  clock_.Advance(1500);
  EXPECT_EQ(clockRegs(), (std::vector<uint16_t>{31500, 0x0A14, 0x030F, 24}));

  ASSERT_FALSE(device.Handle(ClockWriteRequest(11, testing::Time(2023, 12, 31, 23, 59, 58))).Silent());
  EXPECT_EQ(clockRegs(), (std::vector<uint16_t>{58000, 0x173B, 0x0C1F, 23}));
  clock_.Advance(2500);  // across midnight and the new year
  EXPECT_EQ(clockRegs(), (std::vector<uint16_t>{500, 0x0000, 0x0101, 24}));

  ASSERT_FALSE(device.Handle(ClockWriteRequest(5, testing::Time(2024, 2, 28, 23, 59, 59))).Silent());
  clock_.Advance(1000);  // leap day
  EXPECT_EQ(clockRegs(), (std::vector<uint16_t>{0, 0x0000, 0x021D, 24}));
}

TEST_F(ProtocolTest, StoppedClockKeepsTheTimeItWasSetTo) {
  DeviceOptions o;
  o.clockStopped = true;
  o.startTime = testing::Time(2030, 6, 1, 8, 0, 5);
  SimDevice device = MakeDevice(o);
  clock_.Advance(60000);
  EXPECT_EQ(device.Measurement()[11], 5000);
  device.Handle(ClockWriteRequest(11, testing::Time(2031, 1, 2, 3, 4, 5)));
  clock_.Advance(60000);
  const MeasurementRegisters regs = device.Measurement();
  EXPECT_EQ(regs[11], 5000);
  EXPECT_EQ(regs[12], 0x0304);
  EXPECT_EQ(regs[13], 0x0102);
  EXPECT_EQ(regs[14], 31);
}

TEST_F(ProtocolTest, ClockRegister5OnlyIgnoresRegister11) {
  DeviceOptions o;
  o.clockRegister5Only = true;
  SimDevice device = MakeDevice(o);
  const LocalTime t = testing::Time(2025, 7, 4, 12, 0, 0);
  const Response ignored = device.Handle(ClockWriteRequest(11, t));
  EXPECT_TRUE(ignored.Silent());
  EXPECT_EQ(ignored.request, RequestKind::kUnknown) << "a register this logger does not answer";
  EXPECT_EQ(device.Time().year, 2024);  // not set
  const Response r = device.Handle(ClockWriteRequest(5, t));
  EXPECT_EQ(testing::HexPrefix(r.Bytes(), 6), "01 10 00 05 00 04");
  EXPECT_EQ(device.Time().year, 2025);
}

TEST_F(ProtocolTest, EraseIsAcknowledgedAfterTheEraseTimeAndEmptiesTheMemory) {
  DeviceOptions o;
  o.records = 600;
  o.eraseMs = 1234;
  SimDevice device = MakeDevice(o);
  ASSERT_EQ(device.RecordCount(), 600u);
  const Response r = device.Handle(EraseRequest());
  ASSERT_EQ(r.bursts.size(), 1u);
  EXPECT_EQ(r.bursts[0].delayMs, 1234u);
  EXPECT_EQ(testing::HexPrefix(r.Bytes(), 6), "01 10 00 14 00 02");
  EXPECT_EQ(device.RecordCount(), 0u);
  for (uint16_t address : {0x0000, 0x0010, 0x0020}) {
    const std::vector<uint8_t> page = device.Handle(PageRequest(address)).Bytes();
    ASSERT_EQ(page.size(), 4096u);
    EXPECT_EQ(std::count(page.begin(), page.end(), 0xFF), 4096) << "address " << address;
  }
}

TEST_F(ProtocolTest, PageRepliesAreTheMemoryBytes) {
  DeviceOptions o;
  o.records = 300;
  SimDevice device = MakeDevice(o);
  EXPECT_EQ(device.Handle(PageRequest(0)).Bytes(), device.Page(0));
  EXPECT_EQ(device.Handle(PageRequest(0x10)).Bytes(), device.Page(0x10));
}

struct MemorySize {
  uint16_t version;
  uint32_t pages;
};

class MemorySizes : public ProtocolTest, public ::testing::WithParamInterface<MemorySize> {};

TEST_P(MemorySizes, FollowTheVersion) {
  DeviceOptions o;
  o.config.version = GetParam().version;
  o.records = 0;
  SimDevice device = MakeDevice(o);
  EXPECT_EQ(device.MemoryPages(), GetParam().pages);
  const uint16_t last = static_cast<uint16_t>((GetParam().pages - 1) * 16);
  EXPECT_EQ(device.Handle(PageRequest(last)).Bytes().size(), 4096u);
}

INSTANTIATE_TEST_SUITE_P(Versions, MemorySizes,
                         ::testing::Values(MemorySize{8, 2048}, MemorySize{10, 2048}, MemorySize{110, 2048},
                                           MemorySize{120, 2048}, MemorySize{210, 4096}),
                         [](const auto& info) { return "v" + std::to_string(info.param.version); });

class MemoryFill : public ProtocolTest, public ::testing::WithParamInterface<MemorySize> {};

TEST_P(MemoryFill, StopsAtTheEndWhenAskedForMoreRecordsThanFit) {
  DeviceOptions o;
  o.config.version = GetParam().version;
  o.records = SIZE_MAX;
  SimDevice device = MakeDevice(o);
  EXPECT_EQ(device.RecordCount(), GetParam().pages * 256u);
  const uint16_t last = static_cast<uint16_t>((GetParam().pages - 1) * 16);
  const std::vector<uint8_t> page = device.Handle(PageRequest(last)).Bytes();
  ASSERT_EQ(page.size(), 4096u);
  EXPECT_NE(page[4080 + 14], 0xFF);  // the last slot holds a record
}

INSTANTIATE_TEST_SUITE_P(SmallAndLarge, MemoryFill, ::testing::Values(MemorySize{110, 2048}, MemorySize{210, 4096}),
                         [](const auto& info) { return "v" + std::to_string(info.param.version); });

}  // namespace
}  // namespace zv::sim
