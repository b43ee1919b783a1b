// Recording and dump files as CSV.
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/convert.h"

namespace {

std::string Convert(const std::string& file, bool& ok, std::string& error, long* undatedRows = nullptr) {
  std::istringstream in(file);
  std::ostringstream out;
  const zcli::ConvertResult result = zcli::ConvertToCsv(in, out);
  ok = result.ok;
  error = result.error;
  if (undatedRows != nullptr) *undatedRows = result.undatedRows;
  return out.str();
}

TEST(Convert, ADumpFile) {
  const std::string dump =
      "Zentrova-24 N00017\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n"
      "03_12_2015 14:07:5,50 \t12,34 \t12,00 \t1000,00\r\n"
      "03_12_2015 14:07:59,99 \t-1,25 \t0,50 \t 1,50\r\n";
  bool ok = false;
  std::string error;
  EXPECT_EQ(Convert(dump, ok, error),
            "time,current_A,voltage_V,charge_Ah\n"
            "2015-12-03T14:07:05.50,12.34,12.00,1000.00\n"
            "2015-12-03T14:07:59.99,-1.25,0.50,1.50\n");
  EXPECT_TRUE(ok) << error;
}

TEST(Convert, ARecordingWithLineFeedsAndPointsAsAnOlderVersionWroteIt) {
  const std::string recording =
      "Zentrova- 6 N00123\n\n"
      "time\t I_50_DC, A\t I_50_AC, A\t I_50_RMS, A\t I_300_DC, A\t I_300_AC, A\t I_300_RMS, A\t Uab, V\t P, W\t Qab, Ah\n"
      "07_03_2015 14:05:9.50 \t0.12 \t0.00 \t0.12 \t0.00 \t0.00 \t0.00 \t6.10 \t 0.73 \t-3.14\n";
  bool ok = false;
  std::string error;
  EXPECT_EQ(Convert(recording, ok, error),
            "time,I_50_DC_A,I_50_AC_A,I_50_RMS_A,I_300_DC_A,I_300_AC_A,I_300_RMS_A,voltage_V,power_W,charge_Ah\n"
            "2015-03-07T14:05:09.50,0.12,0.00,0.12,0.00,0.00,0.00,6.10,0.73,-3.14\n");
  EXPECT_TRUE(ok) << error;
}

TEST(Convert, NamesTheFirstMalformedLine) {
  const struct {
    std::string file;
    std::string error;
  } cases[] = {
      {"N\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n01_01_2020 00:00:1,00 \t1 \t2 \t3\r\ngarbage\r\n",
       "line 5: 1 fields where the header has 4"},
      {"N\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n01_01_2020 00:00:1,00 \t1 \tx \t3\r\n", "line 4: 'x' is not a number"},
      {"N\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n256_01_2020 00:00:1,00 \t1 \t2 \t3\r\n",
       "line 4: '256_01_2020 00:00:1,00' is not a time stamp"},
      {"N\r\n\r\nwhat\t is this\r\n", "line 3: not the header of a recording or a memory dump"},
      {"N\r\n", "line 1: the file ends before its header"},
      {"", "line 0: the file ends before its header"},
  };
  for (const auto& c : cases) {
    bool ok = true;
    std::string error;
    Convert(c.file, ok, error);
    EXPECT_FALSE(ok) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

// A row the logger could not have written is a damaged file, whatever parses as a number or
// a stamp: no value of its is a text of letters or an exponent, and no field of a stamp is
// more than its byte holds (day, month, hour and minute 0 to 255, the year 2000 to 2255, the
// milliseconds of a minute up to 65535).
TEST(Convert, WhatNoLoggerWritesIsAMalformedLine) {
  const std::string head = "N\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n01_01_2020 00:00:1,00 \t1 \t2 \t3\r\n";
  const struct {
    const char* row;
    const char* error;
  } cases[] = {
      {"01_01_2020 00:00:2,00 \tnan \t2 \t3", "line 5: 'nan' is not a number"},
      {"01_01_2020 00:00:2,00 \t1 \tinf \t3", "line 5: 'inf' is not a number"},
      {"01_01_2020 00:00:2,00 \t1 \t2 \t-inf", "line 5: '-inf' is not a number"},
      {"01_01_2020 00:00:2,00 \t1e3 \t2 \t3", "line 5: '1e3' is not a number"},
      {"01_01_2020 00:00:2,00 \t+1,00 \t2 \t3", "line 5: '+1,00' is not a number"},
      {"01_01_2020 00:00:2,00 \t1, \t2 \t3", "line 5: '1,' is not a number"},
      {"01_01_2020 00:00:2,00 \t0x1F \t2 \t3", "line 5: '0x1F' is not a number"},
      {"256_01_2020 00:00:2,00 \t1 \t2 \t3", "line 5: '256_01_2020 00:00:2,00' is not a time stamp"},
      {"01_300_2020 00:00:2,00 \t1 \t2 \t3", "line 5: '01_300_2020 00:00:2,00' is not a time stamp"},
      {"099_01_2020 00:00:2,00 \t1 \t2 \t3", "line 5: '099_01_2020 00:00:2,00' is not a time stamp"},
      {"01_01_2256 00:00:2,00 \t1 \t2 \t3", "line 5: '01_01_2256 00:00:2,00' is not a time stamp"},
      {"01_01_1999 00:00:2,00 \t1 \t2 \t3", "line 5: '01_01_1999 00:00:2,00' is not a time stamp"},
      {"01_01_20200 00:00:2,00 \t1 \t2 \t3", "line 5: '01_01_20200 00:00:2,00' is not a time stamp"},
      {"01_01_2020 1000:00:2,00 \t1 \t2 \t3", "line 5: '01_01_2020 1000:00:2,00' is not a time stamp"},
      {"01_01_2020 00:00:65,55 \t1 \t2 \t3", "line 5: '01_01_2020 00:00:65,55' is not a time stamp"},
      {"01_01_2020 00:00:66,00 \t1 \t2 \t3", "line 5: '01_01_2020 00:00:66,00' is not a time stamp"},
      {"01_01_2020 00:00:123,45 \t1 \t2 \t3", "line 5: '01_01_2020 00:00:123,45' is not a time stamp"},
  };
  for (const auto& c : cases) {
    bool ok = true;
    std::string error;
    const std::string csv = Convert(head + c.row + "\r\n01_01_2020 00:00:3,00 \t1 \t2 \t3\r\n", ok, error);
    EXPECT_FALSE(ok) << c.row;
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(csv, "time,current_A,voltage_V,charge_Ah\n2020-01-01T00:00:01.00,1,2,3\n") << "rows before it stay written";
  }
}

// The logger writes what its clock says, a date or not: an unset clock, a day the calendar
// does not have, seconds past the minute. Such a row is kept with its stamp as the file has
// it (with a point, as every number of the CSV), and the rows after it follow.
TEST(Convert, EveryRowIsWrittenAndAStampThatIsNotADateAsItStands) {
  const struct {
    const char* stamp;
    const char* time;  // the CSV's time column
  } rows[] = {
      {"03_12_2015 14:07:5,50", "2015-12-03T14:07:05.50"},
      {"00_00_2000 00:00:0,00", "00_00_2000 00:00:0.00"},  // a clock never set
      {"165_165_2165 165:165:42,66", "165_165_2165 165:165:42.66"},
      {"29_02_2018 10:00:5,00", "29_02_2018 10:00:5.00"},
      {"29_02_2024 10:00:5,00", "2024-02-29T10:00:05.00"},
      {"00_00_2254 00:00:0,00", "00_00_2254 00:00:0.00"},
      {"32_01_2020 00:00:1,00", "32_01_2020 00:00:1.00"},
      {"31_04_2015 12:00:1,00", "31_04_2015 12:00:1.00"},
      {"07_13_2015 14:05:9.50", "07_13_2015 14:05:9.50"},
      {"07_03_2015 24:05:9,50", "07_03_2015 24:05:9.50"},
      {"07_03_2015 14:60:9,50", "07_03_2015 14:60:9.50"},
      {"15_03_2024 10:20:65,53", "15_03_2024 10:20:65.53"},
      {"15_03_2024 10:20:60,01", "15_03_2024 10:20:60.01"},
      {"15_03_2024 10:20:60,00", "2024-03-15T10:21:00.00"},
      {"255_255_2255 255:255:65,54", "255_255_2255 255:255:65.54"},
      {"15_03_2024 10:20:30,00", "2024-03-15T10:20:30.00"},
  };
  std::string file = "Zentrova-24 N00017\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n";
  std::string expected = "time,current_A,voltage_V,charge_Ah\n";
  long undated = 0;
  for (const auto& r : rows) {
    file += std::string(r.stamp) + " \t-1,25 \t0,50 \t 1,50\r\n";
    expected += std::string(r.time) + ",-1.25,0.50,1.50\n";
    if (std::string(r.time).find('T') == std::string::npos) ++undated;
  }
  bool ok = false;
  std::string error;
  long counted = 0;
  EXPECT_EQ(Convert(file, ok, error, &counted), expected);
  EXPECT_TRUE(ok) << error;
  EXPECT_EQ(counted, undated);
}

// An output that refuses a write, at once, within a row or only when it is flushed at the
// end, fails the conversion with the reason, and the conversion stops at the refused write.
class RefusingBuffer : public std::streambuf {
 public:
  // Takes up to `takes` bytes; fails every sync when syncFails.
  RefusingBuffer(std::size_t takes, bool syncFails) : takes_(takes), syncFails_(syncFails) {}

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    if (taken_ >= takes_) return traits_type::eof();
    ++taken_;
    return c;
  }
  int sync() override { return syncFails_ ? -1 : 0; }

 private:
  std::size_t takes_;
  bool syncFails_;
  std::size_t taken_ = 0;
};

TEST(Convert, AnOutputThatRefusesAWriteFailsTheConversion) {
  std::string file = "Zentrova-24 N00017\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n";
  for (int i = 0; i < 200; ++i) file += "03_12_2015 14:07:5,50 \t12,34 \t12,00 \t1000,00\r\n";
  const struct {
    std::size_t takes;
    bool syncFails;
  } cases[] = {{0, false}, {60, false}, {std::string::npos, true}};
  for (const auto& c : cases) {
    RefusingBuffer buffer(c.takes, c.syncFails);
    std::ostream out(&buffer);
    std::istringstream in(file);
    const zcli::ConvertResult result = zcli::ConvertToCsv(in, out);
    EXPECT_FALSE(result.ok) << c.takes;
    EXPECT_TRUE(result.outputFailed) << c.takes;
    EXPECT_FALSE(result.error.empty()) << "the system's reason";
    if (!c.syncFails) {
      EXPECT_LT(static_cast<std::size_t>(in.tellg()), file.size() / 2) << c.takes << ": read on after the refusal";
    }
  }
  std::istringstream in(file);
  std::ostringstream out;
  EXPECT_FALSE(zcli::ConvertToCsv(in, out).outputFailed) << "an output that takes every write";
}

TEST(Convert, TimeStamps) {
  const struct {
    const char* stamp;
    const char* iso;
  } cases[] = {
      {"07_03_2015 14:05:9,50", "2015-03-07T14:05:09.50"},
      {"07_03_2015 14:05:0.00", "2015-03-07T14:05:00.00"},
      // 59.996 s shows as 60.00: it belongs to the next minute, up to the next year.
      {"07_03_2015 14:05:60,00", "2015-03-07T14:06:00.00"},
      {"31_12_2254 23:59:60,00", "2255-01-01T00:00:00.00"},
      {"28_02_2024 23:59:60,00", "2024-02-29T00:00:00.00"},
  };
  for (const auto& c : cases) {
    std::string iso;
    ASSERT_TRUE(zcli::IsoTimeStamp(c.stamp, iso)) << c.stamp;
    EXPECT_EQ(iso, c.iso);
  }
  std::string iso;
  for (const char* bad : {"", "07_03_2015 14:05:9", "07-03-2015 14:05:9,50", "07_13_2015 14:05:9,50", "07_03_2015 24:05:9,50"}) {
    EXPECT_FALSE(zcli::IsoTimeStamp(bad, iso)) << bad;
  }
}

}  // namespace
