#pragma once

#include <chrono>
#include <functional>

#include "serial/line_settings.h"

// Waits while `queued` (the bytes the driver still holds for the line; 0 or less when none
// or unknown) says output is left: for the time the line needs for it, and on for as long as
// the count still falls, since a UART hands bytes to its FIFO in steps. Never longer than
// `cap`. True when the output has gone; false when some is still held. Blocks the caller.
bool WaitForOutputDrain(const std::function<int()>& queued, const LineSettings& line,
                        std::chrono::milliseconds cap);
