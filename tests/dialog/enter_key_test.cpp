// The Enter key, the period fields' focus handlers and the recording-period check.
#include <gtest/gtest.h>

#include "dialog/resource.h"
#include "support/dialog_fixture.h"

namespace {

struct PeriodCase {
  const char* name;
  const char* typed;
  bool event;
  const char* shown;
  int word;
};

class RecordPeriod : public ztest::DialogFixture, public ::testing::WithParamInterface<PeriodCase> {};

TEST_P(RecordPeriod, EnterAppliesTheClampedPeriod) {
  const PeriodCase& c = GetParam();
  dlg->m_nEventBits = c.event ? 0x1000 : 0;
  Focus(IDC_RECORD_PERIOD);
  Type(IDC_RECORD_PERIOD, c.typed);
  Enter();

  EXPECT_EQ(Text(IDC_RECORD_PERIOD), c.shown);
  EXPECT_EQ(dlg->m_nConfigWord, c.word);
  EXPECT_GE(dlg->m_nConfigWord & 0x0FFF, 30);
  EXPECT_LE(dlg->m_nConfigWord & 0x0FFF, 500);
  EXPECT_EQ(dlg->Controls().Focus(), IDC_SET_CONFIG);
  EXPECT_EQ(dlg->Loop().TimerPeriod(1), 300u) << "the live poll runs again";
  EXPECT_EQ(dlg->m_nEnterTarget, 0);
  EXPECT_TRUE(view.MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecordPeriod,
    ::testing::Values(PeriodCase{"BelowRange", "0.2", false, "0.3", 30}, PeriodCase{"AboveRange", "7", false, "5", 500},
                      PeriodCase{"Truncated", "4.99", false, "4.99", 498},
                      PeriodCase{"SinglePrecision", "1.15", false, "1.15", 114},
                      PeriodCase{"DecimalComma", "0,5", false, "0.3", 30},
                      PeriodCase{"WithEvent", "0.5", true, "0.5", 0x1032},
                      PeriodCase{"LowerBound", "0.3", false, "0.3", 30},
                      PeriodCase{"StartValue", "0.33", false, "0.33", 33},
                      PeriodCase{"NotANumber", "nan", false, "0.3", 30},
                      PeriodCase{"NegativeNotANumber", "-nan", true, "0.3", 0x101E},
                      PeriodCase{"Infinity", "inf", false, "5", 500}),
    [](const auto& info) { return std::string(info.param.name); });

class EnterKey : public ztest::DialogFixture {};

TEST_F(EnterKey, FocusInAPeriodFieldStopsTheLivePoll) {
  dlg->SetTimer(1, 300);
  Focus(IDC_RECORD_PERIOD);
  EXPECT_FALSE(TimerArmed(1));
  EXPECT_EQ(dlg->m_nEnterTarget, 1);

  dlg->SetTimer(1, 300);
  Focus(IDC_POLL_PERIOD);
  EXPECT_FALSE(TimerArmed(1));
  EXPECT_EQ(dlg->m_nEnterTarget, 2);
}

TEST_F(EnterKey, LeavingTheFieldKeepsTheTargetUntilEnter) {
  Focus(IDC_RECORD_PERIOD);
  Type(IDC_RECORD_PERIOD, "7");
  Focus(IDC_DATETIME);  // a click elsewhere
  dlg->Loop().RunFor(2000);
  EXPECT_FALSE(TimerArmed(1)) << "the live poll stays stopped";
  EXPECT_EQ(dlg->m_nEnterTarget, 1);
  Enter();
  EXPECT_EQ(dlg->m_nConfigWord, 500);
  EXPECT_EQ(Text(IDC_RECORD_PERIOD), "5");
}

TEST_F(EnterKey, PollingPeriodIsTakenAsTypedAndTheLivePollRestarts) {
  for (const char* typed : {"0", "100000", "-5"}) {
    Focus(IDC_POLL_PERIOD);
    Type(IDC_POLL_PERIOD, typed);
    Enter();
    EXPECT_EQ(dlg->m_nRecordPollMs, std::stoi(typed));
    EXPECT_EQ(dlg->Controls().Focus(), IDC_RECORD);
    EXPECT_EQ(dlg->Loop().TimerPeriod(1), 300u);
    EXPECT_EQ(dlg->m_nEnterTarget, 0);
    Focus(IDC_DATETIME);
  }
}

TEST_F(EnterKey, WithNoTargetOnlyCopiesTheControls) {
  Type(IDC_SHUNT_MV, "75");
  Enter();
  EXPECT_EQ(dlg->m_nShuntMillivolts, 75u);
  EXPECT_FALSE(TimerArmed(1));
  EXPECT_EQ(dlg->Controls().Focus(), IDC_DATETIME);
  EXPECT_FALSE(dlg->Loop().QuitRequested()) << "Enter never closes the window";
}

TEST_F(EnterKey, OnAFocusedPushButtonPressesThatButton) {
  Focus(IDC_RECORD_PERIOD);
  Type(IDC_RECORD_PERIOD, "0.7");
  Enter();
  ASSERT_EQ(dlg->Controls().Focus(), IDC_SET_CONFIG);
  // The next Enter presses "Set configuration" rather than applying the period again: with
  // no port chosen, that only starts the live poll again.
  dlg->KillTimer(1);
  Type(IDC_RECORD_PERIOD, "2.3");
  Enter();
  EXPECT_TRUE(TimerArmed(1));
  EXPECT_EQ(dlg->m_nConfigWord, 69);
}

TEST_F(EnterKey, AnUnreadablePeriodKeepsTheOldOne) {
  Focus(IDC_RECORD_PERIOD);
  Type(IDC_RECORD_PERIOD, "x");
  Enter();
  // Enter's own exchange and the period check's each report the field.
  ASSERT_EQ(view.MessageBoxes().size(), 2u);
  EXPECT_EQ(view.MessageBoxes()[0].text, "Введите число.");
  EXPECT_EQ(Text(IDC_RECORD_PERIOD), "0.33");
  EXPECT_EQ(dlg->m_nConfigWord, 33);
}

}  // namespace
