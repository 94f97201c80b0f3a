#include "serial/modem_lines.h"

#include <sys/ioctl.h>
#include <time.h>

#include <cerrno>

namespace {

int Ioctl(int fd, unsigned long request, long arg) {
    return ioctl(fd, request, arg) == 0 ? 0 : errno;
}

bool InputsDiffer(const ModemStatus& a, const ModemStatus& b) {
    return a.cts != b.cts || a.dsr != b.dsr || a.dcd != b.dcd || a.ri != b.ri;
}

}  // namespace

int SetTtyModemLine(int fd, ModemLine line, bool on) {
    const int bits = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0 ? 0 : errno;
}

int GetTtyModemStatus(int fd, ModemStatus& status) {
    int bits = 0;
    if (ioctl(fd, TIOCMGET, &bits) != 0) return errno;
    status = {.cts = (bits & TIOCM_CTS) != 0,
              .dsr = (bits & TIOCM_DSR) != 0,
              .dcd = (bits & TIOCM_CD) != 0,
              .ri = (bits & TIOCM_RNG) != 0,
              .dtr = (bits & TIOCM_DTR) != 0,
              .rts = (bits & TIOCM_RTS) != 0};
    return 0;
}

int WaitTtyModemChange(int fd) {
    const int e = Ioctl(fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG);
    if (e != ENOTTY && e != EINVAL) return e;
    ModemStatus was;
    if (int got = GetTtyModemStatus(fd, was)) return got;
    for (;;) {
        const timespec interval{0, 100'000'000};
        if (nanosleep(&interval, nullptr) != 0) return errno;
        ModemStatus now;
        if (int got = GetTtyModemStatus(fd, now)) return got;
        if (InputsDiffer(now, was)) return 0;
    }
}
