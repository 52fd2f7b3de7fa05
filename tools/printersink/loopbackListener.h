// The printer's side of a socket:// device: a TCP socket listening on
// 127.0.0.1. Shared by the printer stand-in (printersink) and the app
// benchmark's byte-counting printer.
#pragma once

#include <netinet/in.h>

#include "filter/fileHandle.h"

namespace printersink {

// Listens on 127.0.0.1:port, where port 0 lets the system pick a free one;
// port is set to the port bound. A closed handle when that fails.
corvane::fileHandle listenOnLoopback(in_port_t& port);

}  // namespace printersink
