// Line settings no port takes: the same table checks the termios mapping and a real port.
#pragma once

#include <array>
#include <cstdint>

#include "platform/serial_port.h"

namespace zv::testing {

struct RefusedLine {
  const char* what;
  uint32_t baudRate;
  uint8_t byteSize;
  StopBits stopBits;

  // base with this case's rate, size and stop bits.
  LineSettings Applied(LineSettings base) const {
    base.baudRate = baudRate;
    base.byteSize = byteSize;
    base.stopBits = stopBits;
    return base;
  }
};

inline constexpr std::array<RefusedLine, 6> kRefusedLines{{
    {"baud rate termios has no name for", 12345, 8, StopBits::kOne},
    {"baud rate zero", 0, 8, StopBits::kOne},
    {"nine data bits", 9600, 9, StopBits::kOne},
    {"four data bits", 9600, 4, StopBits::kOne},
    {"1.5 stop bits with 8 data bits", 9600, 8, StopBits::kOnePointFive},
    {"2 stop bits with 5 data bits", 9600, 5, StopBits::kTwo},
}};

}  // namespace zv::testing
