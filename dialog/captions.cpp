// The window's captions in Russian and English, and the language toggle.
#include <array>

#include "dialog/orvik_dlg.h"

namespace {

struct TextCaption {
  CString COrvikDlg::*member;
  Bilingual text;
};

struct ButtonCaption {
  CButton COrvikDlg::*button;
  Bilingual text;
};

// In the order they are set.
const std::array<TextCaption, 17> kTextCaptions{{
    {&COrvikDlg::m_strCapPort, {"Порт", "Port"}},
    {&COrvikDlg::m_strCapMemory, {"Память", "Internal memory"}},
    {&COrvikDlg::m_strCapMeasurements, {"Измерения", "Measurements"}},
    {&COrvikDlg::m_strCapVoltage, {"Напр., В", "Voltage, V"}},
    {&COrvikDlg::m_strCapCurrent, {"Ток, А", "Current, A"}},
    {&COrvikDlg::m_strCapCapacity, {"Заряд, Ач", "Capacity, Ah"}},
    {&COrvikDlg::m_strCapPower, {"Мощн., Вт", "Power, W"}},
    {&COrvikDlg::m_strCapDateTime, {"Дата/время", "Date/time"}},
    {&COrvikDlg::m_strCapConfiguration, {"Конфигурация", "Configuration"}},
    {&COrvikDlg::m_strCapNominalVoltage, {"Uном, В", "Vnom., V"}},
    {&COrvikDlg::m_strCapRecordPeriod, {"Период записи,\r\n(от 0,3 до 5 сек)", "Recording period,\r\n(0.3 up to 5 sec)"}},
    {&COrvikDlg::m_strCapEventRecord, {"Запись\r\nпо событию", "Event forces\r\nrecording"}},
    {&COrvikDlg::m_strCapRecordToFile, {"Запись в файл", "Record to file"}},
    {&COrvikDlg::m_strCapPollPeriod, {"Период\r\n опроса, мс", "Device polling\r\nperiod, ms"}},
    {&COrvikDlg::m_strCapShunt, {"Параметры шунта", "Shunt parameters"}},
    {&COrvikDlg::m_strCapShuntMillivolts, {"Uн.шунта, мВ", "Ushunt, mV"}},
    {&COrvikDlg::m_strCapShuntAmps, {"Iн.шунта, А", "Ishunt, A"}},
}};

const std::array<ButtonCaption, 7> kButtonCaptions{{
    {&COrvikDlg::m_btnLanguage, {"РУС/eng", "рус/ENG"}},
    {&COrvikDlg::m_btnRecord, {"Старт", "Start recording"}},
    {&COrvikDlg::m_btnErase, {"Стереть данные", "Erase data"}},
    {&COrvikDlg::m_btnReceive, {"Получить данные", "Recieve data"}},
    {&COrvikDlg::m_btnSyncClock, {"Синхронизировать", "Synchronize clocks"}},
    {&COrvikDlg::m_btnSetConfig, {"Записать", "Set configuration"}},
    {&COrvikDlg::m_btnChart, {"График", "Chart"}},
}};

}  // namespace

void COrvikDlg::SetCaptions() {
  CString text;
  for (const auto& c : kTextCaptions) {
    if (PickText(c.text, text)) this->*c.member = text;
  }
  for (const auto& c : kButtonCaptions) {
    if (PickText(c.text, text)) (this->*c.button).SetWindowText(text);
  }
}

void COrvikDlg::OnBnClickedLanguage() {
  UpdateData(TRUE);
  SetCaptions();
  UpdateData(FALSE);
}
