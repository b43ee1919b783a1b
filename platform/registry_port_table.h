// The Windows table of serial ports: the values of the registry key
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, one per port, whose data is the port's
// name (COM3). The table logic is kept apart from the registry calls so that it can be tested
// anywhere with a reader of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/port_table.h"

namespace zv {

enum class RegistryEnumResult {
  kOk,        // data holds the value's data bytes
  kNoMore,    // past the last value (ERROR_NO_MORE_ITEMS)
  kMoreData,  // the value's name or data does not fit the buffers (ERROR_MORE_DATA)
  kFailed,    // any other failure
};

// The registry calls the table makes on its one key.
class IRegistryReader {
 public:
  virtual ~IRegistryReader() = default;
  // Opens the key for reading in the 64-bit view. False, with a one-line reason, when it
  // cannot be opened.
  virtual bool OpenKey(std::string& error) = 0;
  // Reads value index into a name buffer and a data buffer of capacity bytes each (the name
  // needs room for its terminating zero; the data is counted as stored).
  virtual RegistryEnumResult EnumValue(uint32_t index, std::size_t capacity, std::vector<uint8_t>& data) = 0;
  virtual void CloseKey() = 0;
};

class RegistryPortTable final : public IPortTable {
 public:
  explicit RegistryPortTable(std::unique_ptr<IRegistryReader> reader) : reader_(std::move(reader)) {}
  ~RegistryPortTable() override { Close(); }

  bool Open(std::string* error = nullptr) override;
  // The name is the data's bytes up to the first zero byte (a text's terminator, which the
  // stored length counts). The value's type is not looked at. A value that does not fit ends
  // the table (kTooLong), and so does any other failure to read it (kNoMore).
  PortEntryResult ReadEntry(std::size_t index, std::size_t capacity, std::string& name) override;
  void Close() override;

 private:
  std::unique_ptr<IRegistryReader> reader_;
  bool open_ = false;
};

#if defined(_WIN32)
// The reader of the machine's own registry.
std::unique_ptr<IRegistryReader> MakeWin32RegistryReader();
#endif

}  // namespace zv
