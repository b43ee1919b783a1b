#include "sim/memory_image.h"

#include <algorithm>

namespace zv::sim {

RecordBytes EncodeRecord(const MemoryRecord& r) {
  RecordBytes b{};
  const auto cur = static_cast<uint16_t>(r.current);
  const auto volt = static_cast<uint16_t>(r.voltage);
  const auto charge = static_cast<uint32_t>(r.charge);
  const auto hi = static_cast<uint16_t>(charge >> 16);
  const auto lo = static_cast<uint16_t>(charge & 0xFFFF);
  b[0] = static_cast<uint8_t>(cur & 0xFF);
  b[1] = static_cast<uint8_t>(cur >> 8);
  b[2] = static_cast<uint8_t>(volt & 0xFF);
  b[3] = static_cast<uint8_t>(volt >> 8);
  b[4] = static_cast<uint8_t>(hi & 0xFF);
  b[5] = static_cast<uint8_t>(hi >> 8);
  b[6] = static_cast<uint8_t>(lo & 0xFF);
  b[7] = static_cast<uint8_t>(lo >> 8);
  b[8] = static_cast<uint8_t>(r.millisecondsInMinute & 0xFF);
  b[9] = static_cast<uint8_t>(r.millisecondsInMinute >> 8);
  b[10] = r.minute;
  b[11] = r.hour;
  b[12] = r.day;
  b[13] = r.month;
  b[14] = r.yearByte;
  b[15] = r.rangeFlag;
  return b;
}

MemoryRecord DecodeRecord(const uint8_t* b) {
  MemoryRecord r;
  r.current = static_cast<int16_t>(b[0] | (b[1] << 8));
  r.voltage = static_cast<int16_t>(b[2] | (b[3] << 8));
  const uint32_t hi = static_cast<uint32_t>(b[4] | (b[5] << 8));
  const uint32_t lo = static_cast<uint32_t>(b[6] | (b[7] << 8));
  r.charge = static_cast<int32_t>((hi << 16) | lo);
  r.millisecondsInMinute = static_cast<uint16_t>(b[8] | (b[9] << 8));
  r.minute = b[10];
  r.hour = b[11];
  r.day = b[12];
  r.month = b[13];
  r.yearByte = b[14];
  r.rangeFlag = b[15];
  return r;
}

DeviceMemory::DeviceMemory(uint32_t pages) : pages_(pages) {}

bool DeviceMemory::Append(const MemoryRecord& r) {
  if (RecordCount() >= CapacityRecords()) return false;
  const RecordBytes b = EncodeRecord(r);
  bytes_.insert(bytes_.end(), b.begin(), b.end());
  return true;
}

MemoryRecord DeviceMemory::Record(std::size_t index) const {
  return DecodeRecord(bytes_.data() + index * proto::kRecordBytes);
}

std::vector<uint8_t> DeviceMemory::ReadPage(uint16_t address) const {
  std::vector<uint8_t> page(proto::kPageBytes, 0xFF);
  const std::size_t from = static_cast<std::size_t>(address) * proto::kBytesPerAddressUnit;
  const std::size_t memoryEnd = static_cast<std::size_t>(pages_) * proto::kPageBytes;
  const std::size_t end = std::min(bytes_.size(), memoryEnd);
  if (from < end) {
    const std::size_t n = std::min(proto::kPageBytes, end - from);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(from), n, page.begin());
  }
  return page;
}

}  // namespace zv::sim
