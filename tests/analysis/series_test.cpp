// Reading recording and dump files into samples: both kinds, both line ends, the stamps that
// name no calendar time, malformed lines by number, and a file of a million rows.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <fstream>
#include <sstream>
#include <string>

#include "analysis/report.h"
#include "analysis/series.h"

namespace {

// Seconds from 2000-01-01 to these days, counted by hand: 15 years with 4 leap days to
// 2015-01-01, then January to November (334 days) and two more.
constexpr double kDec3rd2015 = 5815.0 * 86400;
// 24 years with 6 leap days to 2024-01-01, then 31 + 28 days.
constexpr double kFeb29th2024 = 8825.0 * 86400;

const std::string kDumpHead = "Zentrova-24 N00017\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n";
const std::string kRecordingHead =
    "Zentrova-12 N00123\r\n\r\n"
    "time\t I_50_DC, A\t I_50_AC, A\t I_50_RMS, A\t I_300_DC, A\t I_300_AC, A\t I_300_RMS, A\t Uab, V\t P, W\t Qab, Ah\r\n";

bool Read(const std::string& text, zan::Series& series, std::string& error) {
  std::istringstream in(text);
  return zan::ReadSeries(in, series, error);
}

std::string WithLineFeeds(std::string text) {
  std::string out;
  for (const char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

TEST(Series, ReadsAMemoryDump) {
  const std::string dump = kDumpHead +
                           "03_12_2015 14:07:5,50 \t12,34 \t12,00 \t1000,00\r\n"
                           "03_12_2015 14:07:59,99 \t-1,25 \t0,50 \t 1,50\r\n";
  zan::Series s;
  std::string error;
  ASSERT_TRUE(Read(dump, s, error)) << error;
  EXPECT_EQ(s.kind, zan::FileKind::kMemoryDump);
  EXPECT_EQ(s.device, "Zentrova-24 N00017");
  EXPECT_FALSE(s.hasPower);
  EXPECT_TRUE(s.hasCounter);
  EXPECT_EQ(s.undated, 0u);
  ASSERT_EQ(s.samples.size(), 2u);
  EXPECT_DOUBLE_EQ(s.samples[0].t, kDec3rd2015 + 14 * 3600 + 7 * 60 + 5.5);
  EXPECT_FLOAT_EQ(s.samples[0].current, 12.34f);
  EXPECT_FLOAT_EQ(s.samples[0].voltage, 12.0f);
  EXPECT_FLOAT_EQ(s.samples[0].counter, 1000.0f);
  EXPECT_DOUBLE_EQ(s.samples[1].t, kDec3rd2015 + 14 * 3600 + 7 * 60 + 59.99);
  EXPECT_FLOAT_EQ(s.samples[1].current, -1.25f);
  EXPECT_FLOAT_EQ(s.samples[1].voltage, 0.5f);
  EXPECT_FLOAT_EQ(s.samples[1].counter, 1.5f);
}

TEST(Series, ReadsARecordingTakingTheChannelWhoseRangeHoldsTheCurrent) {
  const std::string recording = kRecordingHead +
                                "07_03_2015 14:05:9,50 \t-3,21 \t0,00 \t3,21 \t-3,30 \t0,00 \t3,30 \t12,10 \t-38,84 \t-3,14\r\n"
                                "07_03_2015 14:05:9,70 \t-49,99 \t0,00 \t49,99 \t-120,50 \t0,00 \t120,50 \t11,80 \t-1421,90 \t-3,15\r\n";
  zan::Series s;
  std::string error;
  ASSERT_TRUE(Read(recording, s, error)) << error;
  EXPECT_EQ(s.kind, zan::FileKind::kRecording);
  EXPECT_EQ(s.device, "Zentrova-12 N00123");
  EXPECT_TRUE(s.hasPower);
  ASSERT_EQ(s.samples.size(), 2u);
  // The low range, finer, while the current is inside it; the high range beyond it.
  EXPECT_FLOAT_EQ(s.samples[0].current, -3.21f);
  EXPECT_FLOAT_EQ(s.samples[1].current, -120.5f);
  EXPECT_FLOAT_EQ(s.samples[0].voltage, 12.1f);
  EXPECT_FLOAT_EQ(s.samples[0].power, -38.84f);
  EXPECT_FLOAT_EQ(s.samples[1].counter, -3.15f);
  EXPECT_NEAR(s.samples[1].t - s.samples[0].t, 0.2, 1e-6);
}

TEST(Series, LineFeedsPointsAndCarriageReturnsReadAlike) {
  const std::string files[] = {
      kDumpHead + "03_12_2015 14:07:5,50 \t12,34 \t12,00 \t1000,00\r\n03_12_2015 14:07:6,50 \t-0,05 \t11,99 \t 999,99\r\n",
      kRecordingHead + "07_03_2015 14:05:9,50 \t0,12 \t0,00 \t0,12 \t0,00 \t0,00 \t0,00 \t6,10 \t 0,73 \t-3,14\r\n",
  };
  for (const std::string& crlf : files) {
    std::string points = WithLineFeeds(crlf);
    const auto header = points.find("time");
    for (std::size_t i = points.find('\n', header); i < points.size(); ++i) {
      if (points[i] == ',') points[i] = '.';
    }
    std::string noFinalEnd = crlf.substr(0, crlf.size() - 2);
    zan::Series a, b, c;
    std::string error;
    ASSERT_TRUE(Read(crlf, a, error)) << error;
    ASSERT_TRUE(Read(points, b, error)) << error;
    ASSERT_TRUE(Read(noFinalEnd, c, error)) << error;
    ASSERT_EQ(a.samples.size(), b.samples.size());
    ASSERT_EQ(a.samples.size(), c.samples.size());
    EXPECT_EQ(a.device, b.device);
    for (std::size_t i = 0; i < a.samples.size(); ++i) {
      for (const zan::Series* other : {&b, &c}) {
        EXPECT_EQ(a.samples[i].t, other->samples[i].t);
        EXPECT_EQ(a.samples[i].current, other->samples[i].current);
        EXPECT_EQ(a.samples[i].voltage, other->samples[i].voltage);
        EXPECT_EQ(a.samples[i].power, other->samples[i].power);
        EXPECT_EQ(a.samples[i].counter, other->samples[i].counter);
      }
    }
  }
}

TEST(Series, TimeStamps) {
  const struct {
    const char* stamp;
    double seconds;
  } dated[] = {
      {"01_01_2000 00:00:0,00", 0},
      {"03_12_2015 14:07:5,50", kDec3rd2015 + 14 * 3600 + 7 * 60 + 5.5},
      {"03_12_2015 14:07:5.50", kDec3rd2015 + 14 * 3600 + 7 * 60 + 5.5},
      {"29_02_2024 00:00:0,00", kFeb29th2024},
      // 59.996 s is written 60,00: the next minute, up to the next day.
      {"28_02_2024 23:59:60,00", kFeb29th2024},
      {"03_12_2015 14:07:60,50", kDec3rd2015 + 14 * 3600 + 8 * 60 + 0.5},
  };
  for (const auto& c : dated) {
    const std::string s = c.stamp;
    double t = 0;
    ASSERT_TRUE(zan::ParseStamp(s.data(), s.data() + s.size(), t)) << s;
    EXPECT_NEAR(t, c.seconds, 1e-6) << s;
  }
  // Shaped like a stamp, naming no calendar time: the logger's clock unset or corrupt.
  for (const char* stamp : {"255_255_2255 255:255:65,53", "00_00_2254 00:00:0,00", "29_02_2018 12:00:0,00",
                            "01_01_2020 00:00:65,53", "01_13_2020 00:00:1,00", "01_01_2020 24:00:1,00",
                            "01_01_2020 00:60:1,00", "32_01_2020 00:00:1,00"}) {
    const std::string s = stamp;
    double t = 0;
    ASSERT_TRUE(zan::ParseStamp(s.data(), s.data() + s.size(), t)) << s;
    EXPECT_FALSE(zan::IsDated(t)) << s;
  }
  for (const char* text : {"", "garbage", "01_01_2020 00:00:1", "01_01_2020 00:00:1,5", "01_01_2020 00:00:1,500",
                           "01-01-2020 00:00:1,00", "01_01_2020T00:00:1,00", "01_01_2020 00:00:,00", "1,00"}) {
    const std::string s = text;
    double t = 0;
    EXPECT_FALSE(zan::ParseStamp(s.data(), s.data() + s.size(), t)) << s;
  }
}

TEST(Series, IsoTimes) {
  const struct {
    double t;
    const char* iso;
  } cases[] = {
      {0, "2000-01-01T00:00:00.00"},
      {kDec3rd2015 + 14 * 3600 + 7 * 60 + 5.5, "2015-12-03T14:07:05.50"},
      {kFeb29th2024 + 86399.99, "2024-02-29T23:59:59.99"},
      {kFeb29th2024 + 86400, "2024-03-01T00:00:00.00"},
  };
  for (const auto& c : cases) EXPECT_EQ(zan::IsoTime(c.t), c.iso);
  EXPECT_EQ(zan::IsoTime(zan::kUndated), "");
}

TEST(Series, KeepsUndatedRowsInOrderAndCountsThem) {
  const std::string dump = kDumpHead +
                           "01_03_2024 10:00:0,00 \t1,00 \t12,00 \t 0,00\r\n"
                           "255_255_2255 255:255:65,53 \t2,00 \t12,00 \t 0,00\r\n"
                           "29_02_2018 10:00:2,00 \t3,00 \t12,00 \t 0,00\r\n"
                           "01_03_2024 10:00:3,00 \t4,00 \t12,00 \t 0,00\r\n";
  zan::Series s;
  std::string error;
  ASSERT_TRUE(Read(dump, s, error)) << error;
  ASSERT_EQ(s.samples.size(), 4u);
  EXPECT_EQ(s.undated, 2u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(s.samples[i].current, static_cast<float>(i + 1));
  EXPECT_TRUE(zan::IsDated(s.samples[0].t));
  EXPECT_FALSE(zan::IsDated(s.samples[1].t));
  EXPECT_FALSE(zan::IsDated(s.samples[2].t));
  EXPECT_TRUE(zan::IsDated(s.samples[3].t));
  EXPECT_TRUE(s.ordered);
}

TEST(Series, TellsWhetherTheDatedSamplesGoForward) {
  const struct {
    const char* rows;
    bool ordered;
  } cases[] = {
      {"01_03_2024 10:00:0,00 \t1 \t1 \t1\r\n01_03_2024 10:00:0,00 \t1 \t1 \t1\r\n01_03_2024 10:00:1,00 \t1 \t1 \t1\r\n", true},
      {"01_03_2024 10:00:5,00 \t1 \t1 \t1\r\n00_00_2000 00:00:0,00 \t1 \t1 \t1\r\n01_03_2024 10:00:6,00 \t1 \t1 \t1\r\n", true},
      {"01_03_2024 10:00:5,00 \t1 \t1 \t1\r\n01_01_2001 00:00:0,00 \t1 \t1 \t1\r\n01_03_2024 10:00:6,00 \t1 \t1 \t1\r\n", false},
  };
  for (const auto& c : cases) {
    zan::Series s;
    std::string error;
    ASSERT_TRUE(Read(kDumpHead + c.rows, s, error)) << error;
    EXPECT_EQ(s.ordered, c.ordered) << c.rows;
  }
}

TEST(Series, FilesOfOneRowAndOfNone) {
  zan::Series s;
  std::string error;
  ASSERT_TRUE(Read(kDumpHead, s, error)) << error;
  EXPECT_TRUE(s.samples.empty());
  EXPECT_EQ(s.device, "Zentrova-24 N00017");
  // A recording started before the logger's configuration was read has an empty first line.
  ASSERT_TRUE(Read(kRecordingHead.substr(kRecordingHead.find("\r\n")), s, error)) << error;
  EXPECT_EQ(s.device, "");
  EXPECT_EQ(s.kind, zan::FileKind::kRecording);
  ASSERT_TRUE(Read(kDumpHead + "03_12_2015 14:07:5,50 \t12,34 \t12,00 \t1000,00\r\n\r\n", s, error)) << error;
  EXPECT_EQ(s.samples.size(), 1u);
}

TEST(Series, NamesTheFirstMalformedLine) {
  const struct {
    std::string file;
    std::string error;
    std::size_t rowsBefore;
  } cases[] = {
      {kDumpHead + "01_01_2020 00:00:1,00 \t1 \t2 \t3\r\ngarbage\r\n", "line 5: 1 fields where the header has 4", 1},
      {kDumpHead + "01_01_2020 00:00:1,00 \t1 \t2 \t3 \t4 \t5\r\n", "line 4: 6 fields where the header has 4", 0},
      {kDumpHead + "01_01_2020 00:00:1,00 \t1 \tx \t3\r\n", "line 4: 'x' is not a number", 0},
      {kDumpHead + "01_01_2020 00:00:1,00 \t1 \t1,2,3 \t3\r\n", "line 4: '1,2,3' is not a number", 0},
      {kDumpHead + "01_01_2020 00:00:1,00 \t1 \t \t3\r\n", "line 4: '' is not a number", 0},
      {kDumpHead + "01_01_2020 00:00:1,00 \t+1 \t2 \t3\r\n", "line 4: '+1' is not a number", 0},
      {kDumpHead + "01_01_2020 00:00:1,00 \t1 \t2 \t-\r\n", "line 4: '-' is not a number", 0},
      {kDumpHead + "\r\n01_01_2020 00:00 \t1 \t2 \t3\r\n", "line 5: '01_01_2020 00:00' is not a time stamp", 0},
      {kRecordingHead + "01_01_2020 00:00:1,00 \t1 \t2 \t3\r\n", "line 4: 4 fields where the header has 10", 0},
      {"N\r\n\r\nwhat\t is this\r\n", "line 3: not the header of a recording or a memory dump", 0},
      {"N\r\n", "line 1: the file ends before its header", 0},
      {"", "line 0: the file ends before its header", 0},
  };
  for (const auto& c : cases) {
    zan::Series s;
    std::string error;
    EXPECT_FALSE(Read(c.file, s, error)) << c.error;
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(s.samples.size(), c.rowsBefore) << c.error;
  }
}

TEST(Series, AFileThatDoesNotOpen) {
  zan::Series s;
  std::string error;
  EXPECT_FALSE(zan::ReadSeriesFile((std::filesystem::temp_directory_path() / "zentrova-no-such-file.txt").string(), s,
                                   error));
  EXPECT_EQ(error, "cannot be read");
}

// A million rows a second apart from 1 March 2024: half of them a 10 A discharge at 12.5 V,
// half a 10 A charge at 13.5 V, written as the logger writes them.
TEST(Series, AMillionRowFile) {
  constexpr long kRows = 1'000'000;
  // A name of its own: the test program also runs beside itself under another locale.
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("zentrova-analysis-million-" + std::to_string(std::random_device{}()) + ".txt");
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out);
    out << kDumpHead;
    std::string chunk;
    char row[96];
    for (long k = 0; k < kRows; ++k) {
      const long day = 1 + k / 86400, hour = k / 3600 % 24, minute = k / 60 % 60, second = k % 60;
      const bool charging = k >= kRows / 2;
      const int n = std::snprintf(row, sizeof row, "%02ld_03_2024 %02ld:%02ld:%ld,00 \t%s \t%s \t%5s\r\n", day, hour,
                                  minute, second, charging ? "10,00" : "-10,00", charging ? "13,50" : "12,50", "1,00");
      chunk.append(row, static_cast<std::size_t>(n));
      if (chunk.size() > (1u << 20)) {
        out << chunk;
        chunk.clear();
      }
    }
    out << chunk;
  }
  zan::Series s;
  std::string error;
  const bool ok = zan::ReadSeriesFile(path.string(), s, error);
  std::filesystem::remove(path);
  ASSERT_TRUE(ok) << error;
  ASSERT_EQ(s.samples.size(), static_cast<std::size_t>(kRows));
  EXPECT_EQ(s.undated, 0u);
  for (const long k : {0L, 1L, 86399L, 86400L, kRows / 2 - 1, kRows / 2, kRows - 1}) {
    EXPECT_DOUBLE_EQ(s.samples[static_cast<std::size_t>(k)].t, kFeb29th2024 + 86400.0 + static_cast<double>(k)) << k;
    EXPECT_FLOAT_EQ(s.samples[static_cast<std::size_t>(k)].current, k >= kRows / 2 ? 10.0f : -10.0f) << k;
  }
  const zan::Report r = zan::Analyse(s);
  ASSERT_EQ(r.phases.size(), 2u);
  // 499 999 steps of 10 A each way; the step between the two halves, from -10 A to 10 A,
  // moves nothing.
  EXPECT_NEAR(r.phases[0].ah, 10.0 * 499'999 / 3600, 1e-6 * r.phases[0].ah);
  EXPECT_NEAR(r.phases[1].ah, 10.0 * 499'999 / 3600, 1e-6 * r.phases[1].ah);
  // -10 A at 12.5 V against 10 A at 13.5 V over the middle step: +5 W for one second.
  EXPECT_NEAR(r.phases[0].wh, (125.0 * 499'999 - 5.0) / 3600, 1e-6 * r.phases[0].wh);
  EXPECT_NEAR(r.phases[1].wh, 135.0 * 499'999 / 3600, 1e-6 * r.phases[1].wh);
  EXPECT_TRUE(r.gaps.empty());
}

}  // namespace
