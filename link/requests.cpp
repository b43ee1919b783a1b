// The requests the program sends, built byte by byte into m_txFrame with their CRC.
#include "dialog/orvik_dlg.h"

namespace {
constexpr BYTE kAddress = 0x01;

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
  m_txFrame.Add(kAddress);
  m_txFrame.Add(0x64);
  AddWord(m_txFrame, 0);   // start register
  AddWord(m_txFrame, 10);  // register count
  AppendCrc(6);
}

void COrvikDlg::BuildMeasurementRequest() {
  m_txFrame.RemoveAll();
  m_txFrame.Add(kAddress);
  m_txFrame.Add(0x04);
  AddWord(m_txFrame, 0);
  AddWord(m_txFrame, 17);
  AppendCrc(6);
}

void COrvikDlg::BuildConfigWrite() {
  m_txFrame.RemoveAll();
  m_txFrame.Add(kAddress);
  m_txFrame.Add(0x65);
  m_txFrame.Add(0x0C);  // data bytes that follow
  AddWord(m_txFrame, m_nConfigWord);
  for (int i = 0; i < 6; ++i) m_txFrame.Add(0x00);
  AddWord(m_txFrame, static_cast<int>(m_nShuntMillivolts & 0xFFFF));
  // The device checks the CRC over the first 13 bytes only: the shunt amperes lie outside it.
  const int covered = m_txFrame.GetSize();
  AddWord(m_txFrame, static_cast<int>(m_nShuntAmps & 0xFFFF));
  AppendCrc(covered);
}

void COrvikDlg::BuildClockWrite(int startRegister) {
  m_txFrame.RemoveAll();
  m_txFrame.Add(kAddress);
  m_txFrame.Add(0x10);
  AddWord(m_txFrame, startRegister);
  AddWord(m_txFrame, 4);  // registers
  m_txFrame.Add(8);       // bytes
  m_txFrame.Add(0x00);
  m_txFrame.Add(static_cast<BYTE>(m_nClockSecond));
  m_txFrame.Add(static_cast<BYTE>(m_nClockHour));
  m_txFrame.Add(static_cast<BYTE>(m_nClockMinute));
  m_txFrame.Add(static_cast<BYTE>(m_nClockMonth));
  m_txFrame.Add(static_cast<BYTE>(m_nClockDay));
  m_txFrame.Add(0x00);
  m_txFrame.Add(static_cast<BYTE>(m_nClockYear & 0xFF));  // year - 2000; 1999 goes out as 0xFF
  AppendCrc(15);
}

void COrvikDlg::BuildEraseCommand() {
  // The count field says two registers while one 16-bit value follows: the device expects
  // exactly these bytes.
  m_txFrame.RemoveAll();
  m_txFrame.Add(kAddress);
  m_txFrame.Add(0x10);
  AddWord(m_txFrame, 20);
  AddWord(m_txFrame, 2);
  m_txFrame.Add(0x02);
  AddWord(m_txFrame, 0);
  AppendCrc(9);
}

void COrvikDlg::BuildPageRequest() {
  m_txFrame.RemoveAll();
  m_txFrame.Add(kAddress);
  m_txFrame.Add(0x04);
  AddWord(m_txFrame, m_nMemAddress);
  AddWord(m_txFrame, 0x00FF);
  AppendCrc(6);
}
