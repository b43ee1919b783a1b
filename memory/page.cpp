#include "memory/page.h"

#include "decode/device_time.h"
#include "framework/cstring.h"
#include "framework/numfmt.h"

namespace zv::mem {

namespace {

// Record layout: offsets of its little-endian fields.
constexpr std::size_t kCurrent = 0;
constexpr std::size_t kVoltage = 2;
constexpr std::size_t kChargeHigh = 4;  // the high word of the charge comes first
constexpr std::size_t kChargeLow = 6;
constexpr std::size_t kMilliseconds = 8;
constexpr std::size_t kMinute = 10;
constexpr std::size_t kHour = 11;
constexpr std::size_t kDay = 12;
constexpr std::size_t kMonth = 13;
constexpr std::size_t kYear = 14;
constexpr std::size_t kRangeFlag = 15;

uint16_t Le16(const uint8_t* b, std::size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

// Raw value times its factor in single precision, divided by full scale in double precision.
float Scaled(float raw, float factor) {
  return static_cast<float>(static_cast<double>(raw * factor) / proto::kFullScaleCounts);
}

}  // namespace

bool DecodeRecord(const uint8_t* b, const proto::ScaleFactors& factors, uint32_t nominalVoltage,
                  bool unsignedVoltage, RecordValues& out) {
  if (b[kYear] == proto::kEmptyYear) return false;
  const auto current = static_cast<int16_t>(Le16(b, kCurrent));
  const uint16_t rawVoltage = Le16(b, kVoltage);
  const float voltage = unsignedVoltage ? static_cast<float>(rawVoltage)
                                        : static_cast<float>(static_cast<int16_t>(rawVoltage));
  const uint32_t charge = static_cast<uint32_t>(Le16(b, kChargeHigh)) << 16 | Le16(b, kChargeLow);
  out.current = Scaled(static_cast<float>(current), b[kRangeFlag] != 0 ? factors.high : factors.low);
  out.voltage = Scaled(voltage, static_cast<float>(nominalVoltage));
  out.charge = Scaled(static_cast<float>(static_cast<int32_t>(charge)), factors.low);
  out.seconds = static_cast<float>(Le16(b, kMilliseconds)) / 1000.0f;
  out.minute = b[kMinute];
  out.hour = b[kHour];
  out.day = b[kDay];
  out.month = b[kMonth];
  out.year = b[kYear] + 2000;
  return true;
}

std::string TimeStamp(const RecordValues& v) {
  return DeviceTimeText(v.day, v.month, v.year, v.hour, v.minute, v.seconds);
}

std::string DumpRow(const std::string& timeStamp, const RecordValues& v) {
  CString row = timeStamp + " \t" + zfw::Format("%3.2f", v.current) + " \t" + zfw::Format("%3.2f", v.voltage) +
                " \t" + zfw::Format("%5.2f", v.charge);
  row += "\r\n";
  row.Replace(".", ",");
  return row.str();
}

std::string DumpHeader(const std::string& deviceName) { return deviceName + "\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n"; }

int LastPageAddress(int deviceVersion) {
  const auto units = proto::MemoryPagesForVersion(deviceVersion) * proto::kPageAddressStep;
  return static_cast<int>(units) - proto::kPageAddressStep;
}

std::string ProgressPercent(int address, int deviceVersion) {
  const double units = static_cast<double>(proto::MemoryPagesForVersion(deviceVersion)) * proto::kPageAddressStep;
  const auto percent = static_cast<float>(static_cast<double>(static_cast<float>(address)) / units * 100.0);
  return zfw::Format("%02.0f", percent);
}

}  // namespace zv::mem
