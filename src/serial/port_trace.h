#pragma once

#include <filesystem>
#include <string>

// How the device of a port is found again after it went away. A USB adapter plugged back
// while something still held its old node comes back under the next free name (ttyUSB0 as
// ttyUSB1); udev's /dev/serial/by-id link, made of its vendor, product and serial number,
// still names it. Where no link exists the port's own path is watched, and what sysfs says
// the device is must not have changed, so another adapter given the same name is not
// taken for it.
struct PortTrace {
    std::string path;      // what was opened
    std::string link;      // its by-id link when opened; empty where it had none
    std::string identity;  // PortIdentity of its device node when opened
};

// The trace of `path`, taken while its device is there.
PortTrace TracePort(const std::string& path,
                    const std::filesystem::path& byIdDir = "/dev/serial/by-id",
                    const std::filesystem::path& sysfsRoot = "/sys");

// Where the traced device is now: the node its link names, or its path where it had no
// link; empty while it is absent or another device is there.
std::string FindPortAgain(const PortTrace& trace, const std::filesystem::path& sysfsRoot = "/sys");
