#include "serial/open_port.h"

#include "serial/ycom_file.h"

std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path, const LineSettings& line) {
    return std::make_unique<YCOMFile>(path, line);
}
