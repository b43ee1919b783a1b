// The translation between LineSettings and a termios record, kept apart from the port so
// that it can be checked without a terminal (a pseudo-terminal only holds 8-bit characters
// without parity). POSIX only.
#pragma once

#include <termios.h>

#include <cstdint>
#include <string>

#include "platform/serial_port.h"

namespace zv {

// The termios speed for a baud rate; false when termios has no name for it.
bool SpeedFromBaudRate(uint32_t baudRate, speed_t& speed);
// The baud rate of a termios speed; 0 for B0 and for speeds it does not know.
uint32_t BaudRateFromSpeed(speed_t speed);

// Turns tio (the port's current record) into a raw line with the settings' speed and
// character format: no line editing, no translation, no flow control, CLOCAL|CREAD,
// VMIN=0 VTIME=0. Leaves tio untouched and returns kInvalidArgument (or kNotSupported for
// mark/space parity where termios lacks it) when termios cannot express the settings;
// portName goes into the message. DTR and RTS are not part of termios.
PortError MakeRawTermios(const LineSettings& settings, const std::string& portName, termios& tio);

// Speed, byte size, parity, stop bits and whether the line is raw, read from tio. DTR and
// RTS are left as they are in settings.
void ReadTermios(const termios& tio, LineSettings& settings);

// True when b holds the same speeds and character format as a; a driver may take a
// tcsetattr and quietly keep some of its own values.
bool SameLineFormat(const termios& a, const termios& b);

}  // namespace zv
