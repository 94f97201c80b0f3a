#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The serial ports present on this machine, as "/dev/NAME" paths in natural order
// (ttyS2 before ttyS10). Read from `sysfsRoot`/class/tty without opening any port:
// opening raises DTR, which resets many boards. Only ttys backed by a device count, and
// 8250-family placeholders without a UART (type 0) are left out.
std::vector<std::string> DiscoverPorts(const std::filesystem::path& sysfsRoot = "/sys");

// Orders runs of digits by their value and everything else byte by byte.
bool NaturalLess(std::string_view a, std::string_view b);
