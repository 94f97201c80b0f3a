#pragma once

#include <chrono>
#include <thread>

// Polls `condition` until it holds or `timeout` passes; returns its last value. For tests
// that wait on another thread or process: the deadline bounds a failure, not a success.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
