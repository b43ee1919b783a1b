#include "platform/port_table.h"

namespace zv {

bool FixedPortTable::Open(std::string* error) {
  if (openFails_) {
    if (error != nullptr) *error = "the table of serial ports cannot be read";
    return false;
  }
  ++opens_;
  return true;
}

PortEntryResult ReadListedEntry(const std::vector<std::string>& names, std::size_t index, std::size_t capacity,
                                std::string& name) {
  if (index >= names.size()) return PortEntryResult::kNoMore;
  // The name goes out with its terminating zero.
  if (names[index].size() + 1 > capacity) return PortEntryResult::kTooLong;
  name = names[index];
  return PortEntryResult::kOk;
}

PortEntryResult FixedPortTable::ReadEntry(std::size_t index, std::size_t capacity, std::string& name) {
  return ReadListedEntry(names_, index, capacity, name);
}

}  // namespace zv
