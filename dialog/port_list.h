// The entries of the port list after "no", as the window and --list-ports show them.
#pragma once

#include <string>
#include <vector>

#include "link/port_types.h"

struct PortListing {
  bool tableRead = false;  // false: the port table could not be read at all
  std::string why;         // then, when the table says, why
  std::vector<std::string> names;
};

// The table's entries in its own order, then the names given with --port, verbatim: 255 in
// all at the most. The end of the table, and an entry too long for a 1024-byte buffer, end the
// table's part.
PortListing ListPorts(const PortAccess& access);
