#include "serial/port_control.h"

#include <poll.h>

#include <cerrno>

bool SleepUnlessWoken(std::chrono::milliseconds length, int wakeFd) {
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + length;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) return true;
        pollfd wake{wakeFd, POLLIN, 0};
        const int r = poll(&wake, wakeFd >= 0 ? 1 : 0, static_cast<int>(left.count()));
        if (r > 0) return false;
        if (r < 0 && errno != EINTR) return false;
    }
}

int PulseModemLine(SerialPort& port, ModemLine line, std::chrono::milliseconds length, int wakeFd) {
    ModemStatus now;
    if (int e = port.GetModemStatus(now)) return e;
    const bool on = line == ModemLine::Dtr ? now.dtr : now.rts;
    if (int e = port.SetModemLine(line, !on)) return e;
    SleepUnlessWoken(length, wakeFd);
    return port.SetModemLine(line, on);
}
