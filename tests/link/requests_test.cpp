// Every request the program sends, byte for byte, and the CRC they end with.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/dialog_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct RequestCase {
  const char* name;
  std::function<void(COrvikDlg&)> build;
  Bytes expected;
};

void StartValues(COrvikDlg& d) { d.BuildConfigWrite(); }

void ClockAt(COrvikDlg& d, int year, int month, int day, int hour, int minute, int second) {
  d.m_nClockYear = year - 2000;
  d.m_nClockMonth = month;
  d.m_nClockDay = day;
  d.m_nClockHour = hour;
  d.m_nClockMinute = minute;
  d.m_nClockSecond = second;
}

void Period(COrvikDlg& d, float seconds) {
  d.m_fRecordPeriod = seconds;
  d.UpdateData(FALSE);
  d.ApplyRecordPeriod();
  d.BuildConfigWrite();
}

class Requests : public ztest::DialogFixture {};

TEST_F(Requests, AreBuiltByteExact) {
  const RequestCase cases[] = {
      {"configuration request", [](COrvikDlg& d) { d.BuildConfigRequest(); },
       {0x01, 0x64, 0x00, 0x00, 0x00, 0x0A, 0xF0, 0x05}},
      {"measurement request", [](COrvikDlg& d) { d.BuildMeasurementRequest(); },
       {0x01, 0x04, 0x00, 0x00, 0x00, 0x11, 0x30, 0x06}},
      {"configuration write, start values", StartValues,
       {0x01, 0x65, 0x0C, 0x00, 0x21, 0, 0, 0, 0, 0, 0, 0x00, 0x32, 0x01, 0x2C, 0xA7, 0x32}},
      {"configuration write, event flag and 5 s",
       [](COrvikDlg& d) {
         d.m_nEventBits = 0x1000;
         Period(d, 5.0f);
       },
       {}},
      {"configuration write, 0.7 s", [](COrvikDlg& d) { Period(d, 0.7f); }, {}},
      {"configuration write, 2.3 s", [](COrvikDlg& d) { Period(d, 2.3f); }, {}},
      {"configuration write, 0.5 s", [](COrvikDlg& d) { Period(d, 0.5f); }, {}},
      {"configuration write, 0.3 s", [](COrvikDlg& d) { Period(d, 0.3f); }, {}},
      {"clock write 2024-03-15 10:20:30",
       [](COrvikDlg& d) {
         ClockAt(d, 2024, 3, 15, 10, 20, 30);
         d.BuildClockWrite(11);
       },
       {0x01, 0x10, 0x00, 0x0B, 0x00, 0x04, 0x08, 0x00, 0x1E, 0x0A, 0x14, 0x03, 0x0F, 0x00, 0x18, 0xAD, 0x44}},
      {"clock write, second attempt",
       [](COrvikDlg& d) {
         ClockAt(d, 2024, 3, 15, 10, 20, 30);
         d.BuildClockWrite(5);
       },
       {0x01, 0x10, 0x00, 0x05, 0x00, 0x04, 0x08, 0x00, 0x1E, 0x0A, 0x14, 0x03, 0x0F, 0x00, 0x18, 0x44, 0x93}},
      {"erase command", [](COrvikDlg& d) { d.BuildEraseCommand(); },
       {0x01, 0x10, 0x00, 0x14, 0x00, 0x02, 0x02, 0x00, 0x00, 0xA5, 0x00}},
      {"first page request",
       [](COrvikDlg& d) {
         d.m_nMemAddress = 0;
         d.BuildPageRequest();
       },
       {0x01, 0x04, 0x00, 0x00, 0x00, 0xFF, 0xB0, 0x4A}},
      {"second page request",
       [](COrvikDlg& d) {
         d.m_nMemAddress = 0x10;
         d.BuildPageRequest();
       },
       {0x01, 0x04, 0x00, 0x10, 0x00, 0xFF, 0xB1, 0x8F}},
      {"last page request, 2048 pages",
       [](COrvikDlg& d) {
         d.m_nMemAddress = 0x7FF0;
         d.BuildPageRequest();
       },
       {0x01, 0x04, 0x7F, 0xF0, 0x00, 0xFF, 0xA9, 0xAD}},
      {"last page request, 4096 pages",
       [](COrvikDlg& d) {
         d.m_nMemAddress = 0xFFF0;
         d.BuildPageRequest();
       },
       {0x01, 0x04, 0xFF, 0xF0, 0x00, 0xFF, 0x80, 0x6D}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dlg->m_txFrame.Add(0x99);  // leftovers of an earlier request must not end up in this one
    c.build(*dlg);
    if (!c.expected.empty()) {
      EXPECT_EQ(dlg->m_txFrame.Bytes(), c.expected);
    }
    // Every request's CRC covers what its own layout says.
    const auto& tx = dlg->m_txFrame.Bytes();
    const int covered = tx[1] == 0x65 ? 13 : static_cast<int>(tx.size()) - 2;
    const WORD crc = dlg->Crc16Modbus(dlg->m_txFrame, covered);
    EXPECT_EQ(tx[tx.size() - 2], crc & 0xFF);
    EXPECT_EQ(tx[tx.size() - 1], crc >> 8);
  }
}

TEST_F(Requests, ConfigurationWordCarriesPeriodAndEventFlag) {
  struct Case {
    float period;
    bool event;
    uint8_t hi, lo;
  };
  for (const Case& c : {Case{5.0f, true, 0x11, 0xF4}, Case{0.7f, false, 0x00, 69}, Case{2.3f, false, 0x00, 229},
                        Case{0.5f, false, 0x00, 50}, Case{0.3f, false, 0x00, 30}}) {
    dlg->m_nEventBits = c.event ? 0x1000 : 0;
    Period(*dlg, c.period);
    const auto& tx = dlg->m_txFrame.Bytes();
    ASSERT_EQ(tx.size(), 17u);
    EXPECT_EQ(tx[3], c.hi) << c.period;
    EXPECT_EQ(tx[4], c.lo) << c.period;
  }
}

TEST_F(Requests, ShuntRatingsGoOutAsTheirLow16BitsOutsideTheCrc) {
  dlg->m_nShuntMillivolts = 0x12345;
  dlg->m_nShuntAmps = 70000;  // 0x11170
  dlg->BuildConfigWrite();
  const auto& tx = dlg->m_txFrame.Bytes();
  EXPECT_EQ(tx[11], 0x23);
  EXPECT_EQ(tx[12], 0x45);
  EXPECT_EQ(tx[13], 0x11);
  EXPECT_EQ(tx[14], 0x70);
  // Changing the amperes does not change the CRC: the device checks only the first 13 bytes.
  const Bytes first = tx;
  dlg->m_nShuntAmps = 5;
  dlg->BuildConfigWrite();
  EXPECT_EQ(dlg->m_txFrame.Bytes()[15], first[15]);
  EXPECT_EQ(dlg->m_txFrame.Bytes()[16], first[16]);
}

TEST_F(Requests, ClockYearIsTheLowByteOfYearsSince2000) {
  for (auto [year, yy] : {std::pair{1999, 0xFF}, std::pair{2000, 0x00}, std::pair{2255, 0xFF}, std::pair{2024, 0x18}}) {
    ClockAt(*dlg, year, 1, 1, 0, 0, 0);
    dlg->BuildClockWrite(11);
    EXPECT_EQ(dlg->m_txFrame.Bytes()[14], yy) << year;
  }
}

TEST_F(Requests, CrcCountIsTakenModulo256) {
  CByteArray data;
  for (int i = 0; i < 300; ++i) data.Add(static_cast<BYTE>(i));
  EXPECT_EQ(dlg->Crc16Modbus(data, 0), 0xFFFF);
  EXPECT_EQ(dlg->Crc16Modbus(data, 256), 0xFFFF);
  EXPECT_EQ(dlg->Crc16Modbus(data, 512), 0xFFFF);
  EXPECT_EQ(dlg->Crc16Modbus(data, 257), dlg->Crc16Modbus(data, 1));
  // The standard check value of CRC-16/MODBUS.
  CByteArray check;
  for (char c : std::string("123456789")) check.Add(static_cast<BYTE>(c));
  EXPECT_EQ(dlg->Crc16Modbus(check, 9), 0x4B37);
  // Counting past the array's end is an invalid argument, not a read out of bounds.
  EXPECT_THROW(dlg->Crc16Modbus(check, 10), CInvalidArgException);
}

}  // namespace
