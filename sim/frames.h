// Byte-level helpers for the logger's frames: CRC placement, big-endian fields, and builders
// for every request the program sends (used by tests and by clients of the simulated
// logger). What the bytes mean comes from link/protocol.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/protocol.h"
#include "platform/clock.h"

namespace zv::sim {

// Appends the CRC of all bytes already in frame, low byte first.
void AppendCrc(std::vector<uint8_t>& frame);

inline uint16_t Be16(std::span<const uint8_t> b, std::size_t at) {
  return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}
inline void PutBe16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v & 0xFF));
}

// Requests, complete with CRC, byte for byte as the program sends them.
// Address, function, start register and register count, then the CRC: the shape of a
// register-read request and of a register-write acknowledgement.
std::vector<uint8_t> RegisterFrame(uint8_t function, uint16_t start, uint16_t count);

std::vector<uint8_t> ConfigReadRequest();
std::vector<uint8_t> MeasurementRequest();
std::vector<uint8_t> PageRequest(uint16_t address);
std::vector<uint8_t> ClockWriteRequest(uint16_t startRegister, const LocalTime& t);
std::vector<uint8_t> EraseRequest();
std::vector<uint8_t> ConfigWriteRequest(uint16_t configWord, uint16_t shuntMillivolts,
                                        uint16_t shuntAmps);

// "01 04 00 ..." with upper-case hex pairs separated by blanks.
std::string HexBytes(std::span<const uint8_t> bytes);

}  // namespace zv::sim
