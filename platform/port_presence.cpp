#include "platform/port_presence.h"

#include <memory>

namespace zv {

bool PortPresent(ISerialBackend* serial, const std::string& name) {
  if (serial == nullptr || name.empty()) return false;
  std::unique_ptr<ISerialPort> port;
  const PortError error = serial->Open(name, port);
  return error.ok() && port != nullptr;
}

}  // namespace zv
