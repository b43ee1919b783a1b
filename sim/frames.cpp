#include "sim/frames.h"

#include "link/crc16.h"

namespace zv::sim {

void AppendCrc(std::vector<uint8_t>& frame) {
  const uint16_t crc = Crc16ModbusBytes(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
}

bool CrcMatches(std::span<const uint8_t> frame, std::size_t covered) {
  if (frame.size() < 2 || covered > frame.size() - 2) return false;
  const uint16_t crc = Crc16ModbusBytes(frame.data(), covered);
  const std::size_t n = frame.size();
  return frame[n - 2] == (crc & 0xFF) && frame[n - 1] == (crc >> 8);
}

bool FrameCrcValid(std::span<const uint8_t> frame) {
  if (frame.size() < 4) return false;
  if (frame[1] == kFnWriteConfig) {
    // The program's configuration write leaves the ampere rating outside its CRC.
    return frame.size() >= 6 && CrcMatches(frame, frame.size() - 4);
  }
  return CrcMatches(frame, frame.size() - 2);
}

std::vector<uint8_t> RegisterFrame(uint8_t function, uint16_t start, uint16_t count) {
  std::vector<uint8_t> f{kDeviceAddress, function};
  PutBe16(f, start);
  PutBe16(f, count);
  AppendCrc(f);
  return f;
}

std::vector<uint8_t> ConfigReadRequest() { return RegisterFrame(kFnReadConfig, 0, 10); }

std::vector<uint8_t> MeasurementRequest() { return RegisterFrame(kFnReadInput, 0, 17); }

std::vector<uint8_t> PageRequest(uint16_t address) {
  return RegisterFrame(kFnReadInput, address, kPageCountField);
}

std::vector<uint8_t> ClockWriteRequest(uint16_t startRegister, const LocalTime& t) {
  std::vector<uint8_t> f{kDeviceAddress, kFnWriteRegisters};
  PutBe16(f, startRegister);
  PutBe16(f, 4);
  f.push_back(8);
  f.push_back(0);
  f.push_back(static_cast<uint8_t>(t.second));
  f.push_back(static_cast<uint8_t>(t.hour));
  f.push_back(static_cast<uint8_t>(t.minute));
  f.push_back(static_cast<uint8_t>(t.month));
  f.push_back(static_cast<uint8_t>(t.day));
  f.push_back(0);
  f.push_back(static_cast<uint8_t>((t.year - 2000) & 0xFF));
  AppendCrc(f);
  return f;
}

std::vector<uint8_t> EraseRequest() {
  // Count field 2 with a single value and byte count 2: the program sends it exactly so.
  std::vector<uint8_t> f{kDeviceAddress, kFnWriteRegisters, 0x00, 0x14, 0x00, 0x02, 0x02, 0x00, 0x00};
  AppendCrc(f);
  return f;
}

std::vector<uint8_t> ConfigWriteRequest(uint16_t configWord, uint16_t shuntMillivolts,
                                        uint16_t shuntAmps) {
  std::vector<uint8_t> f{kDeviceAddress, kFnWriteConfig, 0x0C};
  PutBe16(f, configWord);
  for (int i = 0; i < 6; ++i) f.push_back(0);
  PutBe16(f, shuntMillivolts);
  const uint16_t crc = Crc16ModbusBytes(f.data(), f.size());  // first 13 bytes only
  PutBe16(f, shuntAmps);
  f.push_back(static_cast<uint8_t>(crc & 0xFF));
  f.push_back(static_cast<uint8_t>(crc >> 8));
  return f;
}

std::string HexBytes(std::span<const uint8_t> bytes) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string s;
  s.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) s.push_back(' ');
    s.push_back(kDigits[bytes[i] >> 4]);
    s.push_back(kDigits[bytes[i] & 0xF]);
  }
  return s;
}

}  // namespace zv::sim
