// A registry key of the tests' own, answering as RegEnumValueA does: a value whose name (with
// its terminating zero) or data does not fit the buffers gives "more data", an index past the
// last value "no more items".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry_port_table.h"

namespace ztest {

struct RegistryValue {
  std::string name;           // the driver's device name, e.g. \Device\Serial0
  std::vector<uint8_t> data;  // as stored, the terminating zero of a text included
};

// A value whose data is the text name with its terminating zero, as the serial drivers store it.
inline RegistryValue PortValue(const std::string& device, const std::string& port) {
  RegistryValue v{device, std::vector<uint8_t>(port.begin(), port.end())};
  v.data.push_back(0);
  return v;
}

struct RegistryCalls {
  int opens = 0;
  int closes = 0;
  std::vector<std::size_t> capacities;  // asked for at each read
};

class FakeRegistryReader final : public zv::IRegistryReader {
 public:
  FakeRegistryReader(std::vector<RegistryValue> values, std::shared_ptr<RegistryCalls> calls,
                     bool openFails = false)
      : values_(std::move(values)), calls_(std::move(calls)), openFails_(openFails) {}

  bool OpenKey(std::string& error) override {
    if (openFails_) {
      error = "open HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM: The system cannot find the file specified";
      return false;
    }
    ++calls_->opens;
    return true;
  }
  zv::RegistryEnumResult EnumValue(uint32_t index, std::size_t capacity, std::vector<uint8_t>& data) override {
    calls_->capacities.push_back(capacity);
    data.clear();
    if (index >= values_.size()) return zv::RegistryEnumResult::kNoMore;
    const RegistryValue& v = values_[index];
    if (v.name.size() + 1 > capacity || v.data.size() > capacity) return zv::RegistryEnumResult::kMoreData;
    data = v.data;
    return zv::RegistryEnumResult::kOk;
  }
  void CloseKey() override { ++calls_->closes; }

 private:
  std::vector<RegistryValue> values_;
  std::shared_ptr<RegistryCalls> calls_;
  bool openFails_;
};

// A registry port table over these values.
inline std::unique_ptr<zv::RegistryPortTable> RegistryTable(std::vector<RegistryValue> values,
                                                            std::shared_ptr<RegistryCalls> calls = nullptr,
                                                            bool openFails = false) {
  if (!calls) calls = std::make_shared<RegistryCalls>();
  return std::make_unique<zv::RegistryPortTable>(
      std::make_unique<FakeRegistryReader>(std::move(values), std::move(calls), openFails));
}

}  // namespace ztest
