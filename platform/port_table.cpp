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

PortEntryResult FixedPortTable::ReadEntry(std::size_t index, std::size_t capacity, std::string& name) {
  if (index >= names_.size()) return PortEntryResult::kNoMore;
  if (names_[index].size() + 1 > capacity) return PortEntryResult::kTooLong;
  name = names_[index];
  return PortEntryResult::kOk;
}

}  // namespace zv
