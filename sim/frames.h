// Byte-level helpers for the logger's frames: CRC placement and checks, big-endian fields,
// and builders for every request the program sends (used by tests and by clients of the
// simulated logger).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace zv::sim {

inline constexpr uint8_t kDeviceAddress = 0x01;

inline constexpr uint8_t kFnReadInput = 0x04;       // measurement and page requests
inline constexpr uint8_t kFnWriteRegisters = 0x10;  // clock write, erase
inline constexpr uint8_t kFnReadConfig = 0x64;
inline constexpr uint8_t kFnWriteConfig = 0x65;

inline constexpr uint16_t kPageCountField = 0x00FF;  // register count that asks for a page
inline constexpr uint16_t kClockRegister = 11;
inline constexpr uint16_t kClockRegisterAlt = 5;
inline constexpr uint16_t kEraseRegister = 20;

// Appends the CRC of all bytes already in frame, low byte first.
void AppendCrc(std::vector<uint8_t>& frame);
// True when the last two bytes hold, low byte first, the CRC of the first `covered` bytes.
bool CrcMatches(std::span<const uint8_t> frame, std::size_t covered);
// True when the frame's CRC is valid by the rule of its function code (the configuration
// write covers only its first 13 bytes).
bool FrameCrcValid(std::span<const uint8_t> frame);

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
