#include "link/protocol.h"

#include "link/crc16.h"

namespace zv::proto {

namespace {

constexpr uint16_t kMaxReadRegisters = 125;

uint16_t Be16(std::span<const uint8_t> b, std::size_t at) { return static_cast<uint16_t>((b[at] << 8) | b[at + 1]); }

bool CrcMatches(std::span<const uint8_t> frame, std::size_t covered) {
  if (frame.size() < kCrcBytes || covered > frame.size() - kCrcBytes) return false;
  const uint16_t crc = Crc16ModbusBytes(frame.data(), covered);
  const std::size_t n = frame.size();
  return frame[n - 2] == (crc & 0xFF) && frame[n - 1] == (crc >> 8);
}

}  // namespace

int ExpectedRequestLength(std::span<const uint8_t> s) {
  if (s.empty()) return 0;
  if (s[kAddressOffset] != kDeviceAddress) return -1;
  if (s.size() <= kFunctionOffset) return 0;
  switch (s[kFunctionOffset]) {
    case kFnReadInput:
    case kFnReadConfig:
      return static_cast<int>(kRegisterRequestLength);
    case kFnWriteRegisters:
      return s.size() <= kWriteByteCountOffset ? 0 : static_cast<int>(WriteRequestLength(s[kWriteByteCountOffset]));
    case kFnWriteConfig:
      return s.size() <= kConfigWriteByteCountOffset ? 0
                                                     : static_cast<int>(3 + s[kConfigWriteByteCountOffset] + kCrcBytes);
    default:
      return -1;
  }
}

bool RequestCrcValid(std::span<const uint8_t> frame) {
  if (frame.size() < kMinReplyLength) return false;
  if (frame[kFunctionOffset] == kFnWriteConfig) {
    // The shunt amperes, the last two bytes before the CRC, lie outside it.
    return frame.size() >= 6 && CrcMatches(frame, frame.size() - 2 - kCrcBytes);
  }
  return CrcMatches(frame, frame.size() - kCrcBytes);
}

RequestShape ClassifyRequestShape(std::span<const uint8_t> f) {
  if (f.size() < kMinReplyLength || f[kAddressOffset] != kDeviceAddress) return RequestShape::kUnknown;
  switch (f[kFunctionOffset]) {
    case kFnReadInput: {
      if (f.size() != kRegisterRequestLength) return RequestShape::kUnknown;
      const uint16_t count = Be16(f, kRegisterCountOffset);
      if (count == kPageCountField) return RequestShape::kPage;
      return count == 0 || count > kMaxReadRegisters ? RequestShape::kUnknown : RequestShape::kMeasurement;
    }
    case kFnReadConfig: {
      if (f.size() != kRegisterRequestLength) return RequestShape::kUnknown;
      const uint16_t count = Be16(f, kRegisterCountOffset);
      return count == 0 || count > kMaxReadRegisters ? RequestShape::kUnknown : RequestShape::kConfigRead;
    }
    case kFnWriteRegisters: {
      if (f.size() <= kWriteByteCountOffset || f.size() != WriteRequestLength(f[kWriteByteCountOffset])) {
        return RequestShape::kUnknown;
      }
      const uint16_t start = Be16(f, kStartRegisterOffset);
      const uint16_t count = Be16(f, kRegisterCountOffset);
      if (start == kEraseRegister) return RequestShape::kErase;
      const bool clockShape = count == kClockRegisterCount && f[kWriteByteCountOffset] == kClockByteCount;
      if (clockShape && (start == kClockRegister || start == kClockRegisterAlt)) return RequestShape::kClockWrite;
      return RequestShape::kUnknown;
    }
    case kFnWriteConfig:
      return f.size() == kConfigWriteLength && f[kConfigWriteByteCountOffset] == kConfigWriteDataBytes
                 ? RequestShape::kConfigWrite
                 : RequestShape::kUnknown;
    default:
      return RequestShape::kUnknown;
  }
}

ScaleFactors ScaleFactorsFor(int version, uint32_t shuntAmps, uint32_t shuntMillivolts) {
  ScaleFactors f;
  if (version == kVersion10) {
    if (shuntMillivolts == 0) return f;
    const uint32_t k = ((shuntAmps * 75u) / shuntMillivolts) / 4u;
    f.high = static_cast<float>(k);
    f.low = f.high / 10.0f;
  } else if (version == kVersion210) {
    f.high = static_cast<float>(shuntAmps);
    f.low = static_cast<float>(shuntAmps) / 20.0f;
  } else {
    f.high = static_cast<float>(shuntAmps);
    f.low = static_cast<float>(shuntMillivolts);
  }
  return f;
}

bool HasRangeSwitch(int version) {
  return version == kVersion8 || version == kVersion110 || version == kVersion120 || version == kVersion210;
}

int HighRangeThreshold(int version) { return version == kVersion210 ? 500 : 1000; }

uint32_t MemoryPagesForVersion(int version) { return version == kVersion210 ? 4096u : 2048u; }

}  // namespace zv::proto
