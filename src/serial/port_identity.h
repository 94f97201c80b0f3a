#pragma once

#include <filesystem>
#include <string>

// What the port "/dev/NAME" is, read from `sysfsRoot` without opening it, for the port
// list's tooltips and accessible descriptions. A USB adapter gives its product,
// manufacturer, serial number and vendor:product ids, those it has, joined by " — " (for
// example "FT232R USB UART — FTDI — A50285BI — 0403:6001"); another port the name of its
// driver; a port sysfs does not know an empty string.
std::string PortIdentity(const std::filesystem::path& sysfsRoot, const std::string& port);
