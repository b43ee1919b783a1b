// Small helpers shared by the simulated logger's tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "link/crc16.h"
#include "platform/clock.h"
#include "sim/frames.h"

namespace zv::sim::testing {

// "01 04 00 00" -> bytes.
inline std::vector<uint8_t> Hex(const std::string& text) {
  std::istringstream in(text);
  std::vector<uint8_t> out;
  std::string pair;
  while (in >> pair) out.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
  return out;
}

// A reply frame's CRC over everything before its last two bytes, low byte first.
inline bool ReplyCrcValid(const std::vector<uint8_t>& f) {
  if (f.size() < 4) return false;
  const uint16_t crc = Crc16ModbusBytes(f.data(), f.size() - 2);
  return f[f.size() - 2] == (crc & 0xFF) && f[f.size() - 1] == (crc >> 8);
}

inline uint16_t Reg(const std::vector<uint8_t>& reply, std::size_t index) {
  return static_cast<uint16_t>((reply[3 + 2 * index] << 8) | reply[4 + 2 * index]);
}

// The first n bytes in hex, "01 10 00 0B".
inline std::string HexPrefix(const std::vector<uint8_t>& bytes, std::size_t n) {
  return HexBytes(std::span<const uint8_t>(bytes.data(), std::min(n, bytes.size())));
}

// A test name made of letters, digits and underscores.
inline std::string SafeName(const std::string& text) {
  std::string out;
  for (const char ch : text) {
    const bool keep = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
    if (keep) {
      out.push_back(ch);
    } else if (!out.empty() && out.back() != '_') {
      out.push_back('_');
    }
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  return out.empty() ? "empty" : out;
}

inline LocalTime Time(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  return LocalTime{y, mo, d, h, mi, s, ms};
}

}  // namespace zv::sim::testing
