// Whether a port that went away is back, asked without keeping it: the port is opened and
// closed again at once. It works the same on every backend (a real device, a pseudo-terminal
// behind a link, a scripted port), where a table of ports may not list names given by hand.
#pragma once

#include <string>

#include "platform/serial_port.h"

namespace zv {

// True when the named port opens now; it is closed again before the call returns. A port
// that another open holds counts as not back yet: it cannot be used either.
bool PortPresent(ISerialBackend* serial, const std::string& name);

}  // namespace zv
