#pragma once

#include <memory>
#include <string>

#include "serial/line_settings.h"
#include "serial/serial_port.h"

// Opens the port `path` names with `line`: the one place that knows the kinds of port. A
// network address (see network_address.h) opens a NetworkPort, anything else a local
// terminal device (YCOMFile). Throws CFileException; its m_step says which step failed.
//
// Opening a network port takes seconds at worst (see NetworkPort), so callers on the window
// thread run it elsewhere: `cancelFd` (if not -1) ends it as soon as it becomes readable,
// with CFileException ECANCELED.
std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path, const LineSettings& line,
                                           int cancelFd = -1);

// True when `path` names a network port, whose opening must not run on the window thread.
bool IsNetworkPortPath(const std::string& path);
