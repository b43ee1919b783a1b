// The Linux table of serial ports: the tty entries of sysfs that stand for a device (USB
// serial adapters, ACM modems, on-board UARTs), named by their /dev path, in natural order
// (ttyS2 before ttyS10). Virtual consoles and pseudo-terminals have no device and are left
// out, and so are the 8250 UART slots the kernel lists whether or not a UART is fitted. Every
// other port is listed whoever may open it: the table is read from sysfs alone and opens no
// port.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/port_table.h"

namespace zv {

class SysfsPortTable final : public IPortTable {
 public:
  // Entries are read from sysfsRoot and named under devRoot.
  explicit SysfsPortTable(std::string sysfsRoot = "/sys/class/tty", std::string devRoot = "/dev");

  // False only when sysfsRoot cannot be listed; the reason names the folder.
  bool Open(std::string* error = nullptr) override;
  PortEntryResult ReadEntry(std::size_t index, std::size_t capacity, std::string& name) override;
  void Close() override;

 private:
  std::string sysfsRoot_;
  std::string devRoot_;
  std::vector<std::string> names_;  // the snapshot of the last Open
};

// The machine's own table.
std::unique_ptr<IPortTable> MakeSysfsPortTable();

}  // namespace zv
