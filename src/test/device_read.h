#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "serial/pty_pair.h"
#include "test/qt_wait.h"

// What the device at `pty` receives next: `count` bytes, or what came within the deadline.
// The window's event loop runs meanwhile, so the writer's reports and cycle ticks come.
inline std::vector<uint8_t> DeviceReceives(PtyPair& pty, size_t count) {
    std::vector<uint8_t> got;
    QtWaitUntil([&] {
        const std::vector<uint8_t> more = pty.Read(count - got.size(), std::chrono::milliseconds(5));
        got.insert(got.end(), more.begin(), more.end());
        return got.size() >= count;
    });
    return got;
}
