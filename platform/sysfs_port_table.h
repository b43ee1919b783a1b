// The Linux table of serial ports: the tty entries of sysfs that stand for a device (USB
// serial adapters, ACM modems, on-board UARTs), named by their /dev path, in natural order
// (ttyS2 before ttyS10). Virtual consoles and pseudo-terminals have no device and are left
// out, and so are the 8250 UART slots the kernel lists whether or not a UART is fitted.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/port_table.h"

namespace zv {

// Says whether the 8250 UART behind a /dev path is really there.
using UartPresentCheck = std::function<bool(const std::string& devPath)>;

// True when the port opens and TIOCGSERIAL reports a UART type; false when the open or the
// ioctl fails or the type is unknown (a slot without a UART).
bool Is8250UartPresent(const std::string& devPath);

class SysfsPortTable final : public IPortTable {
 public:
  // Entries are read from sysfsRoot and named under devRoot; without a check, no 8250 slot
  // is listed.
  explicit SysfsPortTable(std::string sysfsRoot = "/sys/class/tty", std::string devRoot = "/dev",
                          UartPresentCheck uartPresent = Is8250UartPresent);

  // False only when sysfsRoot cannot be listed; the reason names the folder.
  bool Open(std::string* error = nullptr) override;
  PortEntryResult ReadEntry(std::size_t index, std::size_t capacity, std::string& name) override;
  void Close() override;

 private:
  std::string sysfsRoot_;
  std::string devRoot_;
  UartPresentCheck uartPresent_;
  std::vector<std::string> names_;  // the snapshot of the last Open
};

// The machine's own table.
std::unique_ptr<IPortTable> MakeSysfsPortTable();

}  // namespace zv
