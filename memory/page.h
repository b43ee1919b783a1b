// A memory page as the logger sends it: 256 records of 16 little-endian bytes, and the texts
// the dump file and the window make of them. Pure functions: no window, no port, no file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/protocol.h"

namespace zv::mem {

struct RecordValues {
  float current = 0.0f;  // A
  float voltage = 0.0f;  // V
  float charge = 0.0f;   // Ah
  float seconds = 0.0f;  // within the minute
  int minute = 0;
  int hour = 0;
  int day = 0;
  int month = 0;
  int year = 0;
};

// Decodes the 16-byte record at bytes. False for an empty record (year byte 255), whatever
// its other bytes hold. The current takes H when the range flag is set, else L; the charge
// always takes L. The raw voltage is signed, or unsigned where the caller says so.
bool DecodeRecord(const uint8_t* bytes, const proto::ScaleFactors& factors, uint32_t nominalVoltage,
                  bool unsignedVoltage, RecordValues& out);

// "03_12_2015 14:07:5.50": day, month, year, hour, minute, seconds (no leading zero).
std::string TimeStamp(const RecordValues& v);
// One row of the dump file, CR LF included, every "." made ",".
std::string DumpRow(const std::string& timeStamp, const RecordValues& v);
// The first three lines of the dump file.
std::string DumpHeader(const std::string& deviceName);

// How far a download has come at the page of this address, as "%02.0f" of a per cent.
std::string ProgressPercent(int address, int deviceVersion);
// The address past which the memory ends, and the number of pages it holds.
int LastPageAddress(int deviceVersion);

}  // namespace zv::mem
