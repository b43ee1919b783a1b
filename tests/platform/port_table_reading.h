// Reads a port table the way the window does, for tests of any table.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/port_table.h"

namespace zv::testing {

// Marks an entry that did not fit the reader's buffer.
inline constexpr char kTooLongMark[] = "<too long>";

// Every entry of the open table from index 0 until kNoMore, each read with capacity bytes.
inline std::vector<std::string> ReadEntries(IPortTable& table, std::size_t capacity = 1024) {
  std::vector<std::string> names;
  for (std::size_t i = 0;; ++i) {
    std::string name;
    const PortEntryResult r = table.ReadEntry(i, capacity, name);
    if (r == PortEntryResult::kNoMore) break;
    names.push_back(r == PortEntryResult::kOk ? name : kTooLongMark);
  }
  return names;
}

}  // namespace zv::testing
