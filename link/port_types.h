// The port-side records the window keeps: line settings, the per-transfer records and the
// queue status. Named after the records of the platform the program was designed for.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/afx.h"
#include "platform/port_table.h"
#include "platform/serial_port.h"

using WORD = uint16_t;

// Line settings of the port, read from it, changed and written back at every open.
using DCB = zv::LineSettings;

// The open port; null when no port is open. Closing is resetting it.
using HANDLE = std::unique_ptr<zv::ISerialPort>;

// Per-transfer record of an asynchronous read or write. Transfers here complete at once, so
// the record only carries the offsets and is zeroed at every open.
struct OVERLAPPED {
  DWORD Internal = 0;
  DWORD InternalHigh = 0;
  DWORD Offset = 0;
  DWORD OffsetHigh = 0;
};

// Queue status of the port: cbInQue is the number of received bytes waiting.
struct COMSTAT {
  DWORD cbInQue = 0;
  DWORD cbOutQue = 0;
};

// What the window reaches the logger through. Not owned: each outlives the window.
struct PortAccess {
  zv::ISerialBackend* serial = nullptr;  // opens ports by name; none: every open fails
  zv::IPortTable* table = nullptr;       // the machine's serial ports; none: the table cannot be read
  std::vector<std::string> extraPorts;   // names given on the command line, listed after the table's
};
