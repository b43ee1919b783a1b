// Windows error codes as port errors. Windows only.
#pragma once

#include <string>

#include "platform/serial_port.h"

namespace zv {

// The system's text for a GetLastError code, in English where the system has it, without the
// trailing full stop and line break ("The system cannot find the file specified").
std::string Win32ErrorText(unsigned long code);

// Maps a GetLastError code to a kind and a message naming the operation and the port, in the
// same form as ErrorFromErrno: "open COM7: Access is denied". A port another program holds
// answers ERROR_ACCESS_DENIED or ERROR_SHARING_VIOLATION; for the open of a serial port both
// mean busy, so busy is the kind given for them when operation is "open". On any other
// operation the port was open, and the errors an unplugged adapter gives are kHangUp.
PortError ErrorFromWin32(unsigned long code, const std::string& operation, const std::string& portName);

}  // namespace zv
