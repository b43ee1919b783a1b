// The window as it opens, and the language toggle.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "dialog/dialog_template.h"
#include "dialog/resource.h"
#include "support/dialog_fixture.h"

namespace {

using ztest::DialogFixture;

// Every caption in both languages, by control.
const std::map<int, std::pair<std::string, std::string>> kCaptions = {
    {IDC_CAP_PORT, {"Порт", "Port"}},
    {IDC_CAP_MEMORY, {"Память", "Internal memory"}},
    {IDC_CAP_MEASUREMENTS, {"Измерения", "Measurements"}},
    {IDC_CAP_VOLTAGE, {"Напр., В", "Voltage, V"}},
    {IDC_CAP_CURRENT, {"Ток, А", "Current, A"}},
    {IDC_CAP_CAPACITY, {"Заряд, Ач", "Capacity, Ah"}},
    {IDC_CAP_POWER, {"Мощн., Вт", "Power, W"}},
    {IDC_CAP_DATETIME, {"Дата/время", "Date/time"}},
    {IDC_CAP_CONFIGURATION, {"Конфигурация", "Configuration"}},
    {IDC_CAP_NOMINAL_VOLTAGE, {"Uном, В", "Vnom., V"}},
    {IDC_CAP_RECORD_PERIOD, {"Период записи,\r\n(от 0,3 до 5 сек)", "Recording period,\r\n(0.3 up to 5 sec)"}},
    {IDC_CAP_EVENT_RECORD, {"Запись\r\nпо событию", "Event forces\r\nrecording"}},
    {IDC_CAP_RECORD_TO_FILE, {"Запись в файл", "Record to file"}},
    {IDC_CAP_POLL_PERIOD, {"Период\r\n опроса, мс", "Device polling\r\nperiod, ms"}},
    {IDC_CAP_SHUNT, {"Параметры шунта", "Shunt parameters"}},
    {IDC_CAP_SHUNT_MV, {"Uн.шунта, мВ", "Ushunt, mV"}},
    {IDC_CAP_SHUNT_A, {"Iн.шунта, А", "Ishunt, A"}},
    {IDC_LANGUAGE, {"РУС/eng", "рус/ENG"}},
    {IDC_RECORD, {"Старт", "Start recording"}},
    {IDC_ERASE, {"Стереть данные", "Erase data"}},
    {IDC_RECEIVE, {"Получить данные", "Recieve data"}},
    {IDC_SYNC_CLOCK, {"Синхронизировать", "Synchronize clocks"}},
    {IDC_SET_CONFIG, {"Записать", "Set configuration"}},
    {IDC_CHART, {"График", "Chart"}},
};

class MainWindow : public DialogFixture {
 protected:
  void ExpectCaptions(int language) {
    for (const auto& [id, texts] : kCaptions) {
      EXPECT_EQ(Text(id), language == 0 ? texts.first : texts.second) << "control " << id;
      EXPECT_EQ(view.Shown(id)->text, Text(id)) << "the view shows control " << id;
    }
    EXPECT_EQ(Control(IDC_LANGUAGE).check, language);
    EXPECT_EQ(dlg->m_nLanguage, language);
  }
};

TEST_F(MainWindow, OpensWithItsStartValues) {
  EXPECT_EQ(view.Title(), "Zentrova");
  EXPECT_TRUE(view.Visible());
  EXPECT_EQ(view.Icon(), IDR_MAINFRAME);
  EXPECT_EQ(Text(IDC_STATUS), " ");
  EXPECT_EQ(Text(IDC_DATETIME), "00:00:00");
  for (int id : {IDC_CURRENT, IDC_VOLTAGE, IDC_POWER, IDC_CAPACITY}) EXPECT_EQ(Text(id), "0") << id;
  EXPECT_EQ(Text(IDC_NOMINAL_VOLTAGE), "24");
  EXPECT_EQ(Text(IDC_RECORD_PERIOD), "0.33");
  EXPECT_EQ(Text(IDC_POLL_PERIOD), "200");
  EXPECT_EQ(Text(IDC_SHUNT_MV), "50");
  EXPECT_EQ(Text(IDC_SHUNT_A), "300");
  EXPECT_FALSE(Control(IDC_SHUNT_MV).enabled);
  EXPECT_FALSE(Control(IDC_SHUNT_A).enabled);
  EXPECT_EQ(Text(IDC_DEVICE_INFO), "Tolvane Battery Logger");
  EXPECT_EQ(Control(IDC_PORT).items, std::vector<std::string>{"no"});
  EXPECT_EQ(Control(IDC_PORT).curSel, 0);
  const auto& bar = Control(IDC_PROGRESS);
  EXPECT_EQ(bar.rangeLow, 0);
  EXPECT_EQ(bar.rangeHigh, 120);
  EXPECT_EQ(bar.step, 10);
  EXPECT_EQ(bar.pos, 0);
  EXPECT_EQ(bar.barColor, CLR_DEFAULT);
  EXPECT_EQ(Control(IDC_RECORD).check, 0);
  EXPECT_EQ(Control(IDC_RECEIVE).check, 0);
  EXPECT_EQ(Control(IDC_EVENT_CHECK).check, 0);
  ExpectCaptions(0);

  EXPECT_EQ(dlg->m_nPollPeriodMs, 300);
  EXPECT_EQ(dlg->m_nConfigWord, 33);
  EXPECT_EQ(dlg->m_nDevShuntMv, 50u);
  EXPECT_EQ(dlg->m_nDevShuntA, 300u);
  EXPECT_EQ(dlg->m_nEnterTarget, 0);
  EXPECT_EQ(dlg->m_nDeviceVersion, 0);
  EXPECT_FALSE(dlg->m_hPort);
  for (UINT_PTR id = 1; id <= 4; ++id) EXPECT_FALSE(TimerArmed(id)) << "no timer runs at open";
  EXPECT_EQ(dlg->Controls().Focus(), IDC_DATETIME) << "the first tab stop takes the focus";
  EXPECT_TRUE(view.MessageBoxes().empty());
}

TEST_F(MainWindow, LanguageToggleSwitchesEveryCaptionBothWays) {
  dlg->m_strStatus = "Запрос";
  dlg->UpdateData(FALSE);
  Click(IDC_LANGUAGE);
  ExpectCaptions(1);
  EXPECT_EQ(Text(IDC_STATUS), "Запрос") << "a message on screen keeps its language";
  Click(IDC_LANGUAGE);
  ExpectCaptions(0);
}

TEST_F(MainWindow, RecordToggleTakesTheStartCaptionWhateverItsState) {
  dlg->m_bRecording = 1;
  dlg->UpdateData(FALSE);
  Click(IDC_LANGUAGE);
  EXPECT_EQ(Control(IDC_RECORD).check, 1) << "recording goes on";
  EXPECT_EQ(Text(IDC_RECORD), "Start recording");
}

TEST_F(MainWindow, ToggleWithAnEmptyPollingPeriodKeepsTheLanguage) {
  dlg->SetTimer(1, 300);
  Type(IDC_POLL_PERIOD, "");
  Click(IDC_LANGUAGE);

  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Введите целое число.");
  EXPECT_EQ(boxes[0].caption, "zentrova");
  EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONEXCLAMATION);
  EXPECT_EQ(dlg->Controls().Focus(), IDC_POLL_PERIOD);
  EXPECT_EQ(view.SelectAllRequests(), std::vector<int>{IDC_POLL_PERIOD});
  EXPECT_FALSE(TimerArmed(1)) << "the focus entering the field stops the live poll";
  EXPECT_EQ(dlg->m_nEnterTarget, 2);
  ExpectCaptions(0);
  EXPECT_EQ(Text(IDC_POLL_PERIOD), "200") << "the last valid value is back";
}

TEST_F(MainWindow, AFailureAfterTheLanguageFlagStillSwitches) {
  dlg->m_editShuntAmps.EnableWindow(TRUE);  // as a version-8 device leaves it
  Type(IDC_SHUNT_A, "");
  Click(IDC_LANGUAGE);
  ASSERT_EQ(view.MessageBoxes().size(), 1u);
  EXPECT_EQ(view.MessageBoxes()[0].text, "Введите положительное целое число.");
  ExpectCaptions(1);
  EXPECT_EQ(Text(IDC_SHUNT_A), "300");
}

TEST_F(MainWindow, TheChartButtonSitsInFreeSpaceAfterEveryOtherTabStop) {
  const zfw::DialogTemplate& tmpl = MainDialogTemplate();
  const zfw::DialogItem* chart = tmpl.Find(IDC_CHART);
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart->style & zfw::style::WS_TABSTOP, zfw::style::WS_TABSTOP);
  EXPECT_EQ(tmpl.items.back().id, IDC_CHART) << "the tab order of the other controls stays";
  const CRect& r = chart->rect;
  EXPECT_GE(r.x, 0);
  EXPECT_GE(r.y, 0);
  EXPECT_LE(r.x + r.cx, tmpl.cx);
  EXPECT_LE(r.y + r.cy, tmpl.cy);
  for (const zfw::DialogItem& other : tmpl.items) {
    if (other.id == IDC_CHART) continue;
    const CRect& o = other.rect;
    const bool apart = r.x + r.cx <= o.x || o.x + o.cx <= r.x || r.y + r.cy <= o.y || o.y + o.cy <= r.y;
    EXPECT_TRUE(apart) << "the chart button overlaps control " << other.id;
  }
}

TEST_F(MainWindow, TheChartButtonAsksTheViewForTheChartInTheWindowsLanguage) {
  EXPECT_TRUE(view.ChartRequests().empty()) << "no chart opens by itself";
  Click(IDC_CHART);
  EXPECT_EQ(view.ChartRequests(), std::vector<int>{0});
  Click(IDC_LANGUAGE);
  Click(IDC_CHART);
  EXPECT_EQ(view.ChartRequests(), (std::vector<int>{0, 1}));
  EXPECT_TRUE(view.MessageBoxes().empty());
  EXPECT_FALSE(dlg->Loop().QuitRequested());
}

TEST_F(MainWindow, EscapeAndTheCloseBoxEndTheWindow) {
  Input(Event(zfw::InputEvent::Kind::kEscape));
  EXPECT_TRUE(dlg->Loop().QuitRequested());
}

}  // namespace
