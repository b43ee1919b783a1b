// The registry reader behind the Windows port table.
#include <windows.h>

#include <algorithm>

#include "platform/registry_port_table.h"
#include "platform/win32_error.h"

namespace zv {

namespace {

constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

class Win32RegistryReader final : public IRegistryReader {
 public:
  ~Win32RegistryReader() override { CloseKey(); }

  bool OpenKey(std::string& error) override {
    CloseKey();
    // The 64-bit view, so that a 32-bit build reads the same table as the system's drivers.
    const LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ | KEY_WOW64_64KEY, &key_);
    if (rc == ERROR_SUCCESS) return true;
    key_ = nullptr;
    error = std::string("open HKEY_LOCAL_MACHINE\\") + kSerialCommKey + ": " + Win32ErrorText(static_cast<DWORD>(rc));
    return false;
  }

  RegistryEnumResult EnumValue(uint32_t index, std::size_t capacity, std::vector<uint8_t>& data) override {
    data.clear();
    if (key_ == nullptr) return RegistryEnumResult::kFailed;
    std::string name(capacity, '\0');
    data.assign(capacity, 0);
    DWORD nameLength = static_cast<DWORD>(capacity);
    DWORD dataLength = static_cast<DWORD>(capacity);
    const LONG rc =
        RegEnumValueA(key_, index, name.data(), &nameLength, nullptr, nullptr, data.data(), &dataLength);
    if (rc == ERROR_SUCCESS) {
      data.resize(std::min<std::size_t>(dataLength, capacity));
      return RegistryEnumResult::kOk;
    }
    data.clear();
    if (rc == ERROR_NO_MORE_ITEMS) return RegistryEnumResult::kNoMore;
    if (rc == ERROR_MORE_DATA) return RegistryEnumResult::kMoreData;
    return RegistryEnumResult::kFailed;
  }

  void CloseKey() override {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::unique_ptr<IRegistryReader> MakeWin32RegistryReader() { return std::make_unique<Win32RegistryReader>(); }

}  // namespace zv
