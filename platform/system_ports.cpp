// Picks the serial backend and the port table of the system the program is built for.
#include "platform/port_table.h"
#include "platform/serial_port.h"

#if defined(_WIN32)
#include "platform/registry_port_table.h"
#else
#include "platform/sysfs_port_table.h"
#endif

namespace zv {

#if defined(_WIN32)

std::unique_ptr<ISerialBackend> MakeSystemSerialBackend() { return MakeWin32SerialBackend(); }
std::unique_ptr<IPortTable> MakeSystemPortTable() {
  return std::make_unique<RegistryPortTable>(MakeWin32RegistryReader());
}

#else

std::unique_ptr<ISerialBackend> MakeSystemSerialBackend() { return MakePosixSerialBackend(); }
std::unique_ptr<IPortTable> MakeSystemPortTable() { return MakeSysfsPortTable(); }

#endif

}  // namespace zv
