#pragma once

#include <functional>

// A moment in UTC, split the way stamps and log names use it.
struct UtcTime {
    int year, month, day, hour, minute, second, millisecond;
};

// Where the receive pipeline reads the time; tests pass a fixed or stepping clock.
using UtcClock = std::function<UtcTime()>;

// The system clock, in UTC.
UtcTime SystemUtcNow();
