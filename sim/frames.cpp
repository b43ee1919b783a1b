#include "sim/frames.h"

#include "link/crc16.h"

namespace zv::sim {

void AppendCrc(std::vector<uint8_t>& frame) {
  const uint16_t crc = Crc16ModbusBytes(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
}

std::vector<uint8_t> RegisterFrame(uint8_t function, uint16_t start, uint16_t count) {
  std::vector<uint8_t> f{proto::kDeviceAddress, function};
  PutBe16(f, start);
  PutBe16(f, count);
  AppendCrc(f);
  return f;
}

std::vector<uint8_t> ConfigReadRequest() {
  return RegisterFrame(proto::kFnReadConfig, proto::kConfigStartRegister, proto::kConfigRegisterCount);
}

std::vector<uint8_t> MeasurementRequest() {
  return RegisterFrame(proto::kFnReadInput, proto::kMeasurementStartRegister, proto::kMeasurementRegisterCount);
}

std::vector<uint8_t> PageRequest(uint16_t address) {
  return RegisterFrame(proto::kFnReadInput, address, proto::kPageCountField);
}

std::vector<uint8_t> ClockWriteRequest(uint16_t startRegister, const LocalTime& t) {
  std::vector<uint8_t> f{proto::kDeviceAddress, proto::kFnWriteRegisters};
  PutBe16(f, startRegister);
  PutBe16(f, proto::kClockRegisterCount);
  f.push_back(proto::kClockByteCount);
  f.resize(proto::kClockWriteLength - proto::kCrcBytes, 0);
  f[proto::kClockSecondOffset] = static_cast<uint8_t>(t.second);
  f[proto::kClockHourOffset] = static_cast<uint8_t>(t.hour);
  f[proto::kClockMinuteOffset] = static_cast<uint8_t>(t.minute);
  f[proto::kClockMonthOffset] = static_cast<uint8_t>(t.month);
  f[proto::kClockDayOffset] = static_cast<uint8_t>(t.day);
  f[proto::kClockYearOffset] = static_cast<uint8_t>((t.year - proto::kYearBase) & 0xFF);
  AppendCrc(f);
  return f;
}

std::vector<uint8_t> EraseRequest() {
  std::vector<uint8_t> f{proto::kDeviceAddress, proto::kFnWriteRegisters};
  PutBe16(f, proto::kEraseRegister);
  PutBe16(f, proto::kEraseCountField);
  f.push_back(proto::kEraseByteCount);
  PutBe16(f, proto::kEraseValue);
  AppendCrc(f);
  return f;
}

std::vector<uint8_t> ConfigWriteRequest(uint16_t configWord, uint16_t shuntMillivolts,
                                        uint16_t shuntAmps) {
  std::vector<uint8_t> f{proto::kDeviceAddress, proto::kFnWriteConfig, proto::kConfigWriteDataBytes};
  PutBe16(f, configWord);
  f.insert(f.end(), proto::kConfigWritePadding, 0);
  PutBe16(f, shuntMillivolts);
  PutBe16(f, shuntAmps);
  // The amperes, already in place, lie outside the CRC.
  const uint16_t crc = Crc16ModbusBytes(f.data(), proto::kConfigWriteCrcCovers);
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
