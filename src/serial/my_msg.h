#pragma once

#include <array>
#include <cstdint>

#include "receive/utc_clock.h"

// One received batch: one burst of at most 1024 bytes, and the UTC time its first byte was seen.
struct MyMsg {
    static constexpr int kCapacity = 1024;

    std::array<uint8_t, kCapacity> m_data{};
    UtcTime m_time{};
    int m_nLength = 0;  // valid bytes in m_data, 1..kCapacity for a queued batch
};
