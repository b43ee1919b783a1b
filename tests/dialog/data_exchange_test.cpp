// Saving exchanges that meet a field they cannot read.
#include <gtest/gtest.h>

#include "dialog/resource.h"
#include "support/dialog_fixture.h"

namespace {

struct FailureCase {
  const char* name;
  int field;
  const char* text;
  const char* message;
};

class DataExchange : public ztest::DialogFixture {};

class DataExchangeFailure : public ztest::DialogFixture, public ::testing::WithParamInterface<FailureCase> {};

// Every bound number gets a new valid text, then one field gets text it cannot read.
TEST_P(DataExchangeFailure, StopsAtTheFieldAndKeepsWhatFollows) {
  const FailureCase& c = GetParam();
  dlg->m_editShuntAmps.EnableWindow(TRUE);
  dlg->m_editShuntMillivolts.EnableWindow(TRUE);
  Type(IDC_RECORD_PERIOD, "1.5");
  Type(IDC_POLL_PERIOD, "150");
  Type(IDC_NOMINAL_VOLTAGE, "12");
  Type(IDC_SHUNT_MV, "75");
  Type(IDC_SHUNT_A, "100");
  dlg->Controls().SetCheck(IDC_LANGUAGE, 1);
  Type(IDC_STATUS, "typed");
  Type(c.field, c.text);

  EXPECT_FALSE(dlg->UpdateData(TRUE));

  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, c.message);
  EXPECT_EQ(boxes[0].caption, "zentrova");
  EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONEXCLAMATION);
  EXPECT_EQ(dlg->Controls().Focus(), c.field);
  EXPECT_EQ(view.SelectAllRequests().back(), c.field);

  // Fields before the failing one in the exchange order were taken; later ones kept.
  const int order[] = {IDC_RECORD_PERIOD, IDC_POLL_PERIOD, IDC_NOMINAL_VOLTAGE, IDC_LANGUAGE, IDC_SHUNT_MV, IDC_SHUNT_A};
  bool reached = false;
  for (int field : order) {
    if (field == c.field) {
      reached = true;
      continue;
    }
    const bool taken = !reached;
    switch (field) {
      case IDC_RECORD_PERIOD: EXPECT_FLOAT_EQ(dlg->m_fRecordPeriod, taken ? 1.5f : 0.33f); break;
      case IDC_POLL_PERIOD: EXPECT_EQ(dlg->m_nRecordPollMs, taken ? 150 : 200); break;
      case IDC_NOMINAL_VOLTAGE: EXPECT_EQ(dlg->m_nNominalVoltage, taken ? 12u : 24u); break;
      case IDC_LANGUAGE: EXPECT_EQ(dlg->m_nLanguage, taken ? 1 : 0); break;
      case IDC_SHUNT_MV: EXPECT_EQ(dlg->m_nShuntMillivolts, taken ? 75u : 50u); break;
      case IDC_SHUNT_A: EXPECT_EQ(dlg->m_nShuntAmps, taken ? 100u : 300u); break;
    }
  }
  EXPECT_EQ(dlg->m_strStatus.str(), "typed") << "the status line comes before every number";
}

INSTANTIATE_TEST_SUITE_P(
    EachKind, DataExchangeFailure,
    ::testing::Values(FailureCase{"Float", IDC_RECORD_PERIOD, "abc", "Введите число."},
                      FailureCase{"FloatEmpty", IDC_RECORD_PERIOD, "", "Введите число."},
                      FailureCase{"Int", IDC_POLL_PERIOD, "", "Введите целое число."},
                      FailureCase{"IntSignOnly", IDC_POLL_PERIOD, "-", "Введите целое число."},
                      FailureCase{"Unsigned", IDC_NOMINAL_VOLTAGE, "V", "Введите положительное целое число."},
                      FailureCase{"UnsignedShuntMv", IDC_SHUNT_MV, " ", "Введите положительное целое число."},
                      FailureCase{"UnsignedShuntA", IDC_SHUNT_A, "", "Введите положительное целое число."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DataExchange, ReadableTextsAreTakenAsTheCLibraryScansThem) {
  Type(IDC_RECORD_PERIOD, "2.5s");
  Type(IDC_POLL_PERIOD, " 0500ms");
  EXPECT_TRUE(dlg->UpdateData(TRUE));
  EXPECT_FLOAT_EQ(dlg->m_fRecordPeriod, 2.5f);
  EXPECT_EQ(dlg->m_nRecordPollMs, 500);
  EXPECT_TRUE(view.MessageBoxes().empty());

  // A loading exchange writes the members back in their own formats.
  dlg->UpdateData(FALSE);
  EXPECT_EQ(Text(IDC_RECORD_PERIOD), "2.5");
  EXPECT_EQ(Text(IDC_POLL_PERIOD), "500");
}

TEST_F(DataExchange, ACheckOutsideItsRangeLoadsAsUnchecked) {
  dlg->m_bEventRecord = 7;
  dlg->UpdateData(FALSE);
  EXPECT_EQ(dlg->m_bEventRecord, 0);
  EXPECT_EQ(Control(IDC_EVENT_CHECK).check, 0);
}

}  // namespace
