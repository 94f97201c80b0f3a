#pragma once

#include <chrono>

#include "serial/serial_port.h"

// Controls that take time, for any kind of port. They run on the writer thread; `wakeFd`
// (if not -1) cuts their wait short as soon as it becomes readable, so stopping the port
// never waits for them.

// Waits `length`, or until `wakeFd` becomes readable; true when the whole length passed.
bool SleepUnlessWoken(std::chrono::milliseconds length, int wakeFd);

// Inverts `line` for `length`, then puts it back, also when woken early: a board whose reset
// pin hangs on the line is never left in reset. 0, or the errno of the step the port refused.
int PulseModemLine(SerialPort& port, ModemLine line, std::chrono::milliseconds length, int wakeFd);
