#pragma once

#include <chrono>
#include <cstdint>

#include "serial/line_settings.h"

// How characters travel on a line with `line`'s settings, as Linux UART drivers send them.
// Pure functions, any thread.

// Bits one character takes: the start bit, the data bits, the parity bit if any and the stop
// bits. CSTOPB is the only stop-bit setting the kernel has, so 1.5 counts as 2. A value
// outside its list keeps what the driver had, which may be the longest: counted as that.
int FrameBits(const LineSettings& line);

// The time `bytes` characters take on the line (9600 baud when the rate was left unset).
std::chrono::microseconds LineTime(const LineSettings& line, int64_t bytes);

// True when 1.5 stop bits were asked for with 6, 7 or 8 data bits: UARTs give 1.5 only
// with 5, so the driver sends 2.
bool OneAndAHalfStopBitsBecomeTwo(const LineSettings& line);
