// The machine's table of serial ports, read the way the program was designed to read the
// platform's own table: opened, read entry by entry, closed. Entry order is the table's own;
// names are the paths the port open takes, verbatim.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace zv {

enum class PortEntryResult {
  kOk,       // name holds the entry
  kNoMore,   // past the last entry
  kTooLong,  // the name with its terminating zero does not fit the reader's buffer
};

// Entry index of a table read into names, for a reader whose buffer holds capacity bytes.
PortEntryResult ReadListedEntry(const std::vector<std::string>& names, std::size_t index, std::size_t capacity,
                                std::string& name);

class IPortTable {
 public:
  virtual ~IPortTable() = default;
  // Takes a snapshot of the table for one enumeration. False when the table cannot be read
  // at all; error, when given, then says why in one line.
  virtual bool Open(std::string* error = nullptr) = 0;
  // Entry index of the snapshot, for a reader whose buffer holds capacity bytes.
  virtual PortEntryResult ReadEntry(std::size_t index, std::size_t capacity, std::string& name) = 0;
  // Ends the enumeration and drops the snapshot.
  virtual void Close() = 0;
};

// A table of fixed names, or one that cannot be opened: for tests and for machines with no
// table of their own.
class FixedPortTable final : public IPortTable {
 public:
  explicit FixedPortTable(std::vector<std::string> names = {}, bool openFails = false)
      : names_(std::move(names)), openFails_(openFails) {}
  bool Open(std::string* error = nullptr) override;
  PortEntryResult ReadEntry(std::size_t index, std::size_t capacity, std::string& name) override;
  void Close() override {}
  int OpenCount() const { return opens_; }

 private:
  std::vector<std::string> names_;
  bool openFails_;
  int opens_ = 0;
};

// The table of the system the program runs on: the registry's SERIALCOMM key on Windows,
// sysfs on Linux.
std::unique_ptr<IPortTable> MakeSystemPortTable();

}  // namespace zv
