#include "platform/registry_port_table.h"

#include <algorithm>

namespace zv {

bool RegistryPortTable::Open(std::string* error) {
  Close();
  std::string why;
  open_ = reader_->OpenKey(why);
  if (!open_ && error != nullptr) *error = why;
  return open_;
}

PortEntryResult RegistryPortTable::ReadEntry(std::size_t index, std::size_t capacity, std::string& name) {
  name.clear();
  if (!open_ || index > UINT32_MAX) return PortEntryResult::kNoMore;
  std::vector<uint8_t> data;
  switch (reader_->EnumValue(static_cast<uint32_t>(index), capacity, data)) {
    case RegistryEnumResult::kOk:
      break;
    case RegistryEnumResult::kMoreData:
      return PortEntryResult::kTooLong;
    case RegistryEnumResult::kNoMore:
    case RegistryEnumResult::kFailed:
      return PortEntryResult::kNoMore;
  }
  const auto end = std::find(data.begin(), data.end(), uint8_t{0});
  name.assign(data.begin(), end);
  return PortEntryResult::kOk;
}

void RegistryPortTable::Close() {
  if (open_) reader_->CloseKey();
  open_ = false;
}

}  // namespace zv
