#pragma once

#include <memory>
#include <string>

#include "serial/line_settings.h"
#include "serial/serial_port.h"

// Opens the port `path` names with `line`: the one place that knows the kinds of port.
// Today every path is a local terminal device. Throws CFileException as YCOMFile does.
std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path, const LineSettings& line);
