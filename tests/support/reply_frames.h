// Frames as the logger sends them, built by the tests themselves: registers high byte first,
// then a CRC-16/MODBUS worked out here bit by bit, low byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "dialog/orvik_dlg.h"

namespace ztest {

using Bytes = std::vector<uint8_t>;

inline uint16_t ModbusCrc(const Bytes& bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

// The body with its CRC appended, low byte first.
inline Bytes Sealed(Bytes body) {
  const uint16_t crc = ModbusCrc(body);
  body.push_back(static_cast<uint8_t>(crc & 0xFF));
  body.push_back(static_cast<uint8_t>(crc >> 8));
  return body;
}

// The first `keep` bytes of a frame's body, sealed again: a reply that passes the length and
// CRC checks but ends early.
inline Bytes Cut(const Bytes& frame, std::size_t keep) { return Sealed(Bytes(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(keep))); }

// The frame with its two CRC bytes in high-then-low order.
inline Bytes CrcSwapped(Bytes frame) {
  std::swap(frame[frame.size() - 1], frame[frame.size() - 2]);
  return frame;
}

inline void PutWord(Bytes& b, unsigned value) {
  b.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
  b.push_back(static_cast<uint8_t>(value & 0xFF));
}

// The 17 registers of a measurement reply (function 0x04).
struct Measurement {
  int16_t i50Dc = 0;
  int16_t i50Ac = 0;
  int16_t i50Rms = 0;
  int16_t i300Dc = 0;
  int16_t i300Ac = 0;
  int16_t i300Rms = 0;
  uint16_t voltage = 0;
  int32_t charge = 0;
  uint16_t milliseconds = 0;  // within the minute
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t month = 1;
  uint8_t day = 1;
  uint8_t year = 0;  // years since 2000
};

inline Bytes MeasurementReply(const Measurement& m) {
  Bytes b{0x01, 0x04, 34};
  for (int16_t v : {m.i50Dc, m.i50Ac, m.i50Rms, m.i300Dc, m.i300Ac, m.i300Rms}) PutWord(b, static_cast<uint16_t>(v));
  PutWord(b, m.voltage);
  const auto charge = static_cast<uint32_t>(m.charge);
  PutWord(b, charge >> 16);
  PutWord(b, charge & 0xFFFF);
  PutWord(b, 0xAAAA);  // two registers the window does not read
  PutWord(b, 0x5555);
  PutWord(b, m.milliseconds);
  b.push_back(m.hour);
  b.push_back(m.minute);
  b.push_back(m.month);
  b.push_back(m.day);
  PutWord(b, m.year);
  PutWord(b, 0x1234);  // two more the window does not read
  PutWord(b, 0x5678);
  return Sealed(b);
}

// The 10 registers of a configuration reply (function 0x64).
struct Configuration {
  uint16_t version = 0;
  uint16_t serial = 0;
  uint16_t shuntMillivolts = 0;
  uint16_t shuntAmps = 0;
  uint16_t nominalVoltage = 24;
  uint16_t word = 0x0021;
};

inline Bytes ConfigurationReply(const Configuration& c) {
  Bytes b{0x01, 0x64, 20};
  for (uint16_t v : {c.version, c.serial, c.shuntMillivolts, c.shuntAmps, c.nominalVoltage, c.word}) PutWord(b, v);
  for (int i = 0; i < 4; ++i) PutWord(b, 0xEEEE);  // registers the window does not read
  return Sealed(b);
}

// The acknowledgement of a register write (function 0x10).
inline Bytes Acknowledgement(uint16_t startRegister, uint16_t count) {
  Bytes b{0x01, 0x10};
  PutWord(b, startRegister);
  PutWord(b, count);
  return Sealed(b);
}

// Puts a frame in the window's receive array, as the reply wait would.
inline void Receive(COrvikDlg& dlg, const Bytes& frame) {
  dlg.m_rxFrame.RemoveAll();
  dlg.m_rxFrame.Append(frame.data(), frame.size());
}

}  // namespace ztest
