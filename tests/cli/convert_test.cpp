// Recording and dump files as CSV.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/convert.h"

namespace {

std::string Convert(const std::string& file, bool& ok, std::string& error) {
  std::istringstream in(file);
  std::ostringstream out;
  ok = zcli::ConvertToCsv(in, out, error);
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
      {"N\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n32_01_2020 00:00:1,00 \t1 \t2 \t3\r\n",
       "line 4: '32_01_2020 00:00:1,00' is not a time stamp"},
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
