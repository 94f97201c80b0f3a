#include "serial/open_port.h"

#include "serial/network_address.h"
#include "serial/network_port.h"
#include "serial/ycom_file.h"

std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path, const LineSettings& line,
                                           int cancelFd) {
    if (const auto address = ParseNetworkAddress(path))
        return std::make_unique<NetworkPort>(*address, line, cancelFd);
    return std::make_unique<YCOMFile>(path, line);
}

bool IsNetworkPortPath(const std::string& path) { return ParseNetworkAddress(path).has_value(); }
