#pragma once

#include "serial/serial_port.h"

// The modem lines of a terminal device, by descriptor: what YCOMFile does with them, apart
// from the rest of the port, so that they also serve a descriptor whose line settings must
// not change. Each returns 0 or the errno (ENOTTY or EINVAL where the driver has no modem
// lines). Any thread; the kernel serialises them.

int SetTtyModemLine(int fd, ModemLine line, bool on);
int GetTtyModemStatus(int fd, ModemStatus& status);
// Blocks until CTS, DSR, DCD or RI changes (0) or a signal arrives (EINTR). A driver that can
// read the lines but not wait for them (no TIOCMIWAIT) is read every 100 ms instead, still
// returning on a change only.
int WaitTtyModemChange(int fd);
