// The logger's record memory: 16-byte little-endian records, 256 to a 4096-byte page,
// erased bytes read 0xFF (so byte 14, the year, reads 255: an empty record).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/protocol.h"

namespace zv::sim {

struct MemoryRecord {
  int16_t current = 0;   // raw counts of the channel named by rangeFlag
  int16_t voltage = 0;   // raw counts, nominal voltage at 5000
  int32_t charge = 0;    // raw counts of the low-range factor
  uint16_t millisecondsInMinute = 0;
  uint8_t minute = 0;
  uint8_t hour = 0;
  uint8_t day = 1;
  uint8_t month = 1;
  uint8_t yearByte = 0;   // year - 2000; 255 marks an empty record
  uint8_t rangeFlag = 0;  // 0: low range; anything else: high range

  bool operator==(const MemoryRecord&) const = default;
};

using RecordBytes = std::array<uint8_t, proto::kRecordBytes>;

RecordBytes EncodeRecord(const MemoryRecord& r);
// Decodes 16 bytes; the charge is built high word first from two little-endian words.
MemoryRecord DecodeRecord(const uint8_t* bytes);

class DeviceMemory {
 public:
  explicit DeviceMemory(uint32_t pages);

  uint32_t Pages() const { return pages_; }
  std::size_t CapacityRecords() const { return static_cast<std::size_t>(pages_) * proto::kRecordsPerPage; }
  std::size_t RecordCount() const { return bytes_.size() / proto::kRecordBytes; }

  // Appends a record after the last one; false when the memory is full.
  bool Append(const MemoryRecord& r);
  void Reserve(std::size_t records) { bytes_.reserve(std::min(records, CapacityRecords()) * proto::kRecordBytes); }
  MemoryRecord Record(std::size_t index) const;
  void Erase() { bytes_.clear(); }

  // A page's bytes from the given address on; bytes past the last record (or past the end
  // of the memory) read 0xFF.
  std::vector<uint8_t> ReadPage(uint16_t address) const;

 private:
  uint32_t pages_;
  std::vector<uint8_t> bytes_;  // the written records, from address 0 on
};

}  // namespace zv::sim
