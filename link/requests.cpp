// The requests the program sends, built byte by byte into m_txFrame with their CRC.
#include "dialog/orvik_dlg.h"
#include "link/protocol.h"

namespace {
namespace proto = zv::proto;

void AddWord(CByteArray& frame, int value) {
  frame.Add(static_cast<BYTE>((value >> 8) & 0xFF));
  frame.Add(static_cast<BYTE>(value & 0xFF));
}
}  // namespace

void COrvikDlg::AppendCrc(int count) {
  const WORD crc = Crc16Modbus(m_txFrame, count);
  m_txFrame.Add(static_cast<BYTE>(crc & 0xFF));
  m_txFrame.Add(static_cast<BYTE>(crc >> 8));
}

void COrvikDlg::BuildConfigRequest() {
  m_txFrame.RemoveAll();
  m_txFrame.Add(proto::kDeviceAddress);
  m_txFrame.Add(proto::kFnReadConfig);
  AddWord(m_txFrame, proto::kConfigStartRegister);
  AddWord(m_txFrame, proto::kConfigRegisterCount);
  AppendCrc(static_cast<int>(proto::kRegisterRequestLength - proto::kCrcBytes));
}

void COrvikDlg::BuildMeasurementRequest() {
  m_txFrame.RemoveAll();
  m_txFrame.Add(proto::kDeviceAddress);
  m_txFrame.Add(proto::kFnReadInput);
  AddWord(m_txFrame, proto::kMeasurementStartRegister);
  AddWord(m_txFrame, proto::kMeasurementRegisterCount);
  AppendCrc(static_cast<int>(proto::kRegisterRequestLength - proto::kCrcBytes));
}

void COrvikDlg::BuildConfigWrite() {
  m_txFrame.RemoveAll();
  m_txFrame.Add(proto::kDeviceAddress);
  m_txFrame.Add(proto::kFnWriteConfig);
  m_txFrame.Add(proto::kConfigWriteDataBytes);
  AddWord(m_txFrame, m_nConfigWord);
  for (std::size_t i = 0; i < proto::kConfigWritePadding; ++i) m_txFrame.Add(0x00);
  AddWord(m_txFrame, static_cast<int>(m_nShuntMillivolts & 0xFFFF));
  AddWord(m_txFrame, static_cast<int>(m_nShuntAmps & 0xFFFF));
  // The device checks the CRC over the bytes before the shunt amperes only.
  AppendCrc(static_cast<int>(proto::kConfigWriteCrcCovers));
}

void COrvikDlg::BuildClockWrite(int startRegister) {
  m_txFrame.RemoveAll();
  m_txFrame.Add(proto::kDeviceAddress);
  m_txFrame.Add(proto::kFnWriteRegisters);
  AddWord(m_txFrame, startRegister);
  AddWord(m_txFrame, proto::kClockRegisterCount);
  m_txFrame.Add(proto::kClockByteCount);
  // Bytes of the values the table names no field for stay 0.
  BYTE values[proto::kClockByteCount] = {};
  const auto put = [&values](std::size_t offset, int value) {
    values[offset - proto::kWriteValuesOffset] = static_cast<BYTE>(value);
  };
  put(proto::kClockSecondOffset, m_nClockSecond);
  put(proto::kClockHourOffset, m_nClockHour);
  put(proto::kClockMinuteOffset, m_nClockMinute);
  put(proto::kClockMonthOffset, m_nClockMonth);
  put(proto::kClockDayOffset, m_nClockDay);
  put(proto::kClockYearOffset, m_nClockYear & 0xFF);  // year - 2000; 1999 goes out as 0xFF
  m_txFrame.Append(values, sizeof values);
  AppendCrc(static_cast<int>(proto::kClockWriteLength - proto::kCrcBytes));
}

void COrvikDlg::BuildEraseCommand() {
  // The count field says two registers while one 16-bit value follows: the device expects
  // exactly these bytes.
  m_txFrame.RemoveAll();
  m_txFrame.Add(proto::kDeviceAddress);
  m_txFrame.Add(proto::kFnWriteRegisters);
  AddWord(m_txFrame, proto::kEraseRegister);
  AddWord(m_txFrame, proto::kEraseCountField);
  m_txFrame.Add(proto::kEraseByteCount);
  AddWord(m_txFrame, proto::kEraseValue);
  AppendCrc(static_cast<int>(proto::kEraseLength - proto::kCrcBytes));
}

void COrvikDlg::BuildPageRequest() {
  m_txFrame.RemoveAll();
  m_txFrame.Add(proto::kDeviceAddress);
  m_txFrame.Add(proto::kFnReadInput);
  AddWord(m_txFrame, m_nMemAddress);
  AddWord(m_txFrame, proto::kPageCountField);
  AppendCrc(static_cast<int>(proto::kRegisterRequestLength - proto::kCrcBytes));
}
