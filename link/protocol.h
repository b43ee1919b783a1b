// The logger's protocol, written once: function codes, request fields and lengths, the
// register layout of every reply, the configuration word, the current scales and the memory
// geometry. The program's request builders and decoder and the simulated logger all read it;
// tests check the bytes against tables of their own, never against this file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zv::proto {

// ---- frame ------------------------------------------------------------------------------
// Address, function code, payload with numbers high byte first, then the CRC low byte first.
inline constexpr uint8_t kDeviceAddress = 0x01;
inline constexpr std::size_t kAddressOffset = 0;
inline constexpr std::size_t kFunctionOffset = 1;
inline constexpr std::size_t kCrcBytes = 2;
// A frame (request or reply) shorter than this cannot hold an address, a code and a CRC.
inline constexpr std::size_t kMinReplyLength = 4;

// ---- function codes ---------------------------------------------------------------------
inline constexpr uint8_t kFnReadInput = 0x04;       // measurement and page requests
inline constexpr uint8_t kFnWriteRegisters = 0x10;  // clock write and erase; their acknowledgement
inline constexpr uint8_t kFnReadConfig = 0x64;      // configuration and identity
inline constexpr uint8_t kFnWriteConfig = 0x65;     // configuration write

// An exception reply: the request's code with this bit set, one exception code, the CRC.
inline constexpr uint8_t kExceptionBit = 0x80;
inline constexpr uint8_t kExceptionDeviceFailure = 0x04;

// ---- requests ---------------------------------------------------------------------------
// Register reads (0x04, 0x64): start register and register count, then the CRC.
inline constexpr std::size_t kStartRegisterOffset = 2;
inline constexpr std::size_t kRegisterCountOffset = 4;
inline constexpr std::size_t kRegisterRequestLength = 8;

inline constexpr uint16_t kConfigStartRegister = 0;
inline constexpr uint16_t kConfigRegisterCount = 10;
inline constexpr uint16_t kMeasurementStartRegister = 0;
inline constexpr uint16_t kMeasurementRegisterCount = 17;
// A read of this many input registers asks for a raw memory page at the start register.
inline constexpr uint16_t kPageCountField = 0x00FF;

// Register writes (0x10): start register, register count, byte count, values, CRC.
inline constexpr std::size_t kWriteByteCountOffset = 6;
inline constexpr std::size_t kWriteValuesOffset = 7;
// Whole length of a register write from its byte count.
constexpr std::size_t WriteRequestLength(uint8_t byteCount) { return kWriteValuesOffset + byteCount + kCrcBytes; }

// The clock write: four registers (00 ss, hh mm, MO DD, 00 YY), first at register 11 and,
// when that gets no answer, at register 5.
inline constexpr uint16_t kClockRegister = 11;
inline constexpr uint16_t kClockRegisterAlt = 5;
inline constexpr uint16_t kClockRegisterCount = 4;
inline constexpr uint8_t kClockByteCount = 8;
inline constexpr std::size_t kClockWriteLength = WriteRequestLength(kClockByteCount);  // 17
// Offsets of the clock values within the request.
inline constexpr std::size_t kClockSecondOffset = 8;
inline constexpr std::size_t kClockHourOffset = 9;
inline constexpr std::size_t kClockMinuteOffset = 10;
inline constexpr std::size_t kClockMonthOffset = 11;
inline constexpr std::size_t kClockDayOffset = 12;
inline constexpr std::size_t kClockYearOffset = 14;
// Every year on the line, in the clock write, the measurement reply and the memory records,
// is one byte: the year less this.
inline constexpr int kYearBase = 2000;

// The erase command. Its count field says two registers while one 16-bit value follows;
// the logger expects exactly these bytes.
inline constexpr uint16_t kEraseRegister = 20;
inline constexpr uint16_t kEraseCountField = 2;
inline constexpr uint8_t kEraseByteCount = 2;
inline constexpr uint16_t kEraseValue = 0;
inline constexpr std::size_t kEraseLength = WriteRequestLength(kEraseByteCount);  // 11

// The configuration write (0x65): a byte count of 12, the configuration word, six zero
// bytes, the shunt millivolts and the shunt amperes. Its CRC covers the first 13 bytes only,
// so the amperes lie outside it.
inline constexpr std::size_t kConfigWriteByteCountOffset = 2;
inline constexpr uint8_t kConfigWriteDataBytes = 12;
inline constexpr std::size_t kConfigWordOffset = 3;
inline constexpr std::size_t kConfigWritePadding = 6;
inline constexpr std::size_t kConfigWriteMillivoltsOffset = 11;
inline constexpr std::size_t kConfigWriteAmpsOffset = 13;
inline constexpr std::size_t kConfigWriteCrcCovers = 13;
inline constexpr std::size_t kConfigWriteLength = 3 + kConfigWriteDataBytes + kCrcBytes;  // 17

// What a complete request with a valid address asks for, judged by its code and shape.
enum class RequestShape {
  kUnknown,
  kConfigRead,
  kMeasurement,  // an input-register read of at most 125 registers
  kPage,
  kClockWrite,   // at register 11 or 5
  kErase,
  kConfigWrite,
};

// Length of the request that starts these bytes: 0 while too few bytes are there to tell,
// -1 when they cannot start a request (unknown address or code).
int ExpectedRequestLength(std::span<const uint8_t> start);
// The CRC of a request is valid by the rule of its function code (the configuration write
// covers only its first 13 bytes).
bool RequestCrcValid(std::span<const uint8_t> frame);
// What a whole request (with a valid CRC) asks for.
RequestShape ClassifyRequestShape(std::span<const uint8_t> frame);

// ---- replies ----------------------------------------------------------------------------
// Register replies: address, code, byte count, then the registers high byte first.
inline constexpr std::size_t kReplyByteCountOffset = 2;
inline constexpr std::size_t kReplyDataOffset = 3;
// Offset of register `index` of a register reply.
constexpr std::size_t RegisterOffset(std::size_t index) { return kReplyDataOffset + 2 * index; }
constexpr std::size_t RegisterReplyLength(std::size_t registers) { return kReplyDataOffset + 2 * registers + kCrcBytes; }

// The measurement reply's registers.
namespace measurement {
inline constexpr std::size_t kI50Dc = 0;    // low-range channel, DC component, signed
inline constexpr std::size_t kI50Ac = 1;    // low-range channel, AC component, signed
inline constexpr std::size_t kI50Rms = 2;   // low-range channel, RMS value, signed
inline constexpr std::size_t kI300Dc = 3;   // high-range channel, DC component, signed
inline constexpr std::size_t kI300Ac = 4;   // high-range channel, AC component, signed
inline constexpr std::size_t kI300Rms = 5;  // high-range channel, RMS value, signed
inline constexpr std::size_t kVoltage = 6;  // unsigned; nominal voltage at 5000
inline constexpr std::size_t kChargeHigh = 7;  // signed 32-bit charge counter, high word first
inline constexpr std::size_t kChargeLow = 8;
// Registers 9 and 10 are not read.
inline constexpr std::size_t kMillisecondsInMinute = 11;
inline constexpr std::size_t kHourMinute = 12;  // hour in the high byte, minute in the low
inline constexpr std::size_t kMonthDay = 13;    // month in the high byte, day in the low
inline constexpr std::size_t kYear = 14;        // year - 2000 in the low byte
}  // namespace measurement
inline constexpr std::size_t kMeasurementReplyLength = RegisterReplyLength(kMeasurementRegisterCount);  // 39

// The configuration reply's registers.
namespace config {
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSerial = 1;
inline constexpr std::size_t kShuntMillivolts = 2;
inline constexpr std::size_t kShuntAmps = 3;
inline constexpr std::size_t kNominalVoltage = 4;
inline constexpr std::size_t kConfigWord = 5;
}  // namespace config
inline constexpr std::size_t kConfigReplyLength = RegisterReplyLength(kConfigRegisterCount);  // 25

// The acknowledgement of a register write repeats the start register and the count.
inline constexpr std::size_t kWriteAckLength = kRegisterRequestLength;

// ---- configuration word -----------------------------------------------------------------
inline constexpr uint16_t kPeriodMask = 0x0FFF;  // recording period, hundredths of a second
inline constexpr uint16_t kEventFlag = 0x1000;   // record on events
inline constexpr int kEventFlagShift = 12;

// ---- device versions and current scales -------------------------------------------------
inline constexpr int kVersion8 = 8;      // shunt rating from the device
inline constexpr int kVersion10 = 10;    // scale derived from the shunt rating
inline constexpr int kVersion110 = 110;  // fixed 50 mV / 300 A shunt
inline constexpr int kVersion120 = 120;  // fixed 50 mV / 300 A shunt
inline constexpr int kVersion210 = 210;  // larger memory, amperes from the device
inline constexpr uint32_t kFixedShuntMillivolts = 50;
inline constexpr uint32_t kFixedShuntAmps = 300;

// Raw readings stand for factor amperes at this many counts (and the nominal voltage).
inline constexpr int kFullScaleCounts = 5000;

// Amperes at full scale for the high-range (H) and low-range (L) current channels.
struct ScaleFactors {
  float high = 0.0f;
  float low = 0.0f;
};
// The factors for a device version and the shunt rating the scaling follows. Version 10 with
// 0 mV has no defined factor: both are 0.
ScaleFactors ScaleFactorsFor(int version, uint32_t shuntAmps, uint32_t shuntMillivolts);
// Whether a version shows the low range below a |raw I_300_RMS| threshold, and that threshold.
bool HasRangeSwitch(int version);
int HighRangeThreshold(int version);

// ---- memory -----------------------------------------------------------------------------
// A page request is answered with this many raw bytes, no frame around them: 256 records of
// 16 little-endian bytes. Page addresses step by 16 (address units of 256 bytes).
inline constexpr std::size_t kPageBytes = 4096;
inline constexpr std::size_t kRecordBytes = 16;
inline constexpr std::size_t kRecordsPerPage = kPageBytes / kRecordBytes;
inline constexpr std::size_t kBytesPerAddressUnit = 256;
inline constexpr uint16_t kPageAddressStep = kPageBytes / kBytesPerAddressUnit;  // 16
inline constexpr uint8_t kEmptyYear = 255;  // year byte of an erased record
uint32_t MemoryPagesForVersion(int version);

}  // namespace zv::proto
