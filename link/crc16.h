// CRC-16/MODBUS: initial value 0xFFFF, reflected polynomial 0xA001, no final XOR.
// On the wire the CRC follows the bytes it covers, low byte first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zv {

uint16_t Crc16ModbusBytes(const uint8_t* data, std::size_t size);

}  // namespace zv
