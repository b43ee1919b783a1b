// One memory record into its dump row, and the download's progress text, as pure functions:
// the expected texts are written out here.
#include <gtest/gtest.h>

#include <string>

#include "link/protocol.h"
#include "memory/page.h"
#include "support/expected_dump.h"

namespace {

using ztest::Record16;

struct RecordCase {
  const char* name;
  Record16 bytes;
  zv::proto::ScaleFactors factors;  // H, L
  uint32_t nominalVoltage;
  bool unsignedVoltage;
  const char* stamp;  // as the window shows it, with a point
  const char* row;
};

// The start-up shunt (50 mV / 300 A) on a version that takes H = 300 A and L = 50.
constexpr zv::proto::ScaleFactors k300And50{300.0f, 50.0f};

//                    current  voltage  charge hi  charge lo  ms      min hour day mon year flag
const RecordCase kRecords[] = {
    {"worked_example_low_range", {0xD2, 0x04, 0xC4, 0x09, 0x01, 0x00, 0xA0, 0x86, 0x7C, 0x15, 7, 14, 3, 12, 15, 0},
     k300And50, 24, false, "03_12_2015 14:07:5.50", "03_12_2015 14:07:5,50 \t12,34 \t12,00 \t1000,00\r\n"},
    {"range_flag_1_takes_h", {0xD2, 0x04, 0xC4, 0x09, 0x01, 0x00, 0xA0, 0x86, 0x7C, 0x15, 7, 14, 3, 12, 15, 1},
     k300And50, 24, false, "03_12_2015 14:07:5.50", "03_12_2015 14:07:5,50 \t74,04 \t12,00 \t1000,00\r\n"},
    {"range_flag_255_takes_h", {0xD2, 0x04, 0xC4, 0x09, 0x01, 0x00, 0xA0, 0x86, 0x7C, 0x15, 7, 14, 3, 12, 15, 255},
     k300And50, 24, false, "03_12_2015 14:07:5.50", "03_12_2015 14:07:5,50 \t74,04 \t12,00 \t1000,00\r\n"},
    {"seconds_59999_read_60", {0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x96, 0x00, 0x5F, 0xEA, 59, 23, 31, 1, 0, 0},
     k300And50, 24, false, "31_01_2000 23:59:60.00", "31_01_2000 23:59:60,00 \t0,50 \t0,00 \t 1,50\r\n"},
    {"seconds_zero", {0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x96, 0x00, 0x00, 0x00, 0, 0, 1, 1, 99, 0},
     k300And50, 24, false, "01_01_2099 00:00:0.00", "01_01_2099 00:00:0,00 \t0,50 \t0,00 \t 1,50\r\n"},
    {"charge_from_10_ah_fills_the_width", {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE8, 0x03, 0x10, 0x27, 1, 2, 3, 4, 5, 0},
     k300And50, 24, false, "03_04_2005 02:01:10.00", "03_04_2005 02:01:10,00 \t0,00 \t0,00 \t10,00\r\n"},
    {"negative_values_keep_their_sign", {0x83, 0xFF, 0x3C, 0xF6, 0xFF, 0xFF, 0xFF, 0xFF, 0x88, 0x13, 5, 6, 7, 8, 9, 0},
     k300And50, 24, false, "07_08_2009 06:05:5.00", "07_08_2009 06:05:5,00 \t-1,25 \t-12,00 \t-0,01\r\n"},
    {"charge_bytes_00_00_01_00_are_1", {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x88, 0x13, 5, 6, 7, 8, 9, 0},
     k300And50, 24, false, "07_08_2009 06:05:5.00", "07_08_2009 06:05:5,00 \t0,00 \t0,00 \t 0,01\r\n"},
    {"charge_bytes_01_00_00_00_are_65536", {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x88, 0x13, 5, 6, 7, 8, 9, 0},
     k300And50, 24, false, "07_08_2009 06:05:5.00", "07_08_2009 06:05:5,00 \t0,00 \t0,00 \t655,36\r\n"},
    {"year_byte_254_is_2254", {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0, 0, 28, 2, 254, 0},
     k300And50, 24, false, "28_02_2254 00:00:0.00", "28_02_2254 00:00:0,00 \t0,00 \t0,00 \t 0,00\r\n"},
    // Version 10 with 50 mV / 300 A: H = ((300 * 75) / 50) / 4 = 112, L = 11.2.
    {"version_10_high_range", {0x88, 0x13, 0x00, 0x00, 0x00, 0x00, 0x88, 0x13, 0x00, 0x00, 0, 0, 1, 1, 20, 1},
     {112.0f, 11.2f}, 24, false, "01_01_2020 00:00:0.00", "01_01_2020 00:00:0,00 \t112,00 \t0,00 \t11,20\r\n"},
    {"version_10_low_range", {0x88, 0x13, 0x00, 0x00, 0x00, 0x00, 0x88, 0x13, 0x00, 0x00, 0, 0, 1, 1, 20, 0},
     {112.0f, 11.2f}, 24, false, "01_01_2020 00:00:0.00", "01_01_2020 00:00:0,00 \t11,20 \t0,00 \t11,20\r\n"},
    // Version 210 with 500 A: H = 500, L = 25; a 48 V logger.
    {"version_210_high_range", {0xE8, 0x03, 0x88, 0x13, 0x00, 0x00, 0xC8, 0x00, 0x00, 0x00, 0, 0, 1, 1, 20, 1},
     {500.0f, 25.0f}, 48, false, "01_01_2020 00:00:0.00", "01_01_2020 00:00:0,00 \t100,00 \t48,00 \t 1,00\r\n"},
    {"version_210_low_range", {0xE8, 0x03, 0x88, 0x13, 0x00, 0x00, 0xC8, 0x00, 0x00, 0x00, 0, 0, 1, 1, 20, 0},
     {500.0f, 25.0f}, 48, false, "01_01_2020 00:00:0.00", "01_01_2020 00:00:0,00 \t5,00 \t48,00 \t 1,00\r\n"},
    // The raw voltage FF FF: -1 for the worker, 65535 for the window's own page mode.
    {"voltage_ffff_signed", {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0, 0, 1, 1, 20, 0},
     k300And50, 24, false, "01_01_2020 00:00:0.00", "01_01_2020 00:00:0,00 \t0,00 \t-0,00 \t 0,00\r\n"},
    {"voltage_ffff_unsigned", {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0, 0, 1, 1, 20, 0},
     k300And50, 24, true, "01_01_2020 00:00:0.00", "01_01_2020 00:00:0,00 \t0,00 \t314,57 \t 0,00\r\n"},
};

class RecordRow : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordRow, IsTheStampAndThreeValuesWithDecimalCommas) {
  const RecordCase& c = GetParam();
  zv::mem::RecordValues values;
  ASSERT_TRUE(zv::mem::DecodeRecord(c.bytes.data(), c.factors, c.nominalVoltage, c.unsignedVoltage, values));
  const std::string stamp = zv::mem::TimeStamp(values);
  EXPECT_EQ(stamp, c.stamp);
  EXPECT_EQ(zv::mem::DumpRow(stamp, values), c.row);
}

INSTANTIATE_TEST_SUITE_P(Table, RecordRow, ::testing::ValuesIn(kRecords),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EmptyRecord, IsAYearByteOf255WhateverTheOtherBytesHold) {
  const Record16 filled{0xD2, 0x04, 0xC4, 0x09, 0x01, 0x00, 0xA0, 0x86, 0x7C, 0x15, 7, 14, 3, 12, 255, 1};
  const Record16 erased{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  zv::mem::RecordValues values;
  EXPECT_FALSE(zv::mem::DecodeRecord(filled.data(), k300And50, 24, false, values));
  EXPECT_FALSE(zv::mem::DecodeRecord(erased.data(), k300And50, 24, false, values));
}

TEST(DumpHeader, IsTheNameAnEmptyLineAndTheColumnTitles) {
  EXPECT_EQ(zv::mem::DumpHeader("Zentrova-24 N00017"), "Zentrova-24 N00017\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n");
  EXPECT_EQ(zv::mem::DumpHeader(""), "\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n");
}

struct PercentCase {
  int address;
  int version;
  const char* percent;
};

class ProgressText : public ::testing::TestWithParam<PercentCase> {};

TEST_P(ProgressText, IsTheShareOfTheMemoryBeforeThisPage) {
  EXPECT_EQ(zv::mem::ProgressPercent(GetParam().address, GetParam().version), GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(Table, ProgressText,
                         ::testing::Values(PercentCase{0x0000, 8, "00"}, PercentCase{0x00A0, 8, "00"},
                                           PercentCase{0x00B0, 8, "01"},  // 0.54 %
                                           PercentCase{0x4000, 8, "50"}, PercentCase{0x7FF0, 8, "100"},  // 99.95 %
                                           PercentCase{0x00A0, 210, "00"}, PercentCase{0x0160, 210, "01"},
                                           PercentCase{0x8000, 210, "50"}, PercentCase{0xFFF0, 210, "100"},
                                           PercentCase{0x7FF0, 10, "100"}),
                         [](const auto& info) {
                           return "v" + std::to_string(info.param.version) + "_at_" + std::to_string(info.param.address);
                         });

TEST(LastPage, Is0x7FF0WithTwoThousandPagesAnd0xFFF0ForVersion210) {
  EXPECT_EQ(zv::mem::LastPageAddress(8), 0x7FF0);
  EXPECT_EQ(zv::mem::LastPageAddress(0), 0x7FF0);
  EXPECT_EQ(zv::mem::LastPageAddress(210), 0xFFF0);
}

}  // namespace
