#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "receive/utc_clock.h"

// Received text is Latin-1: every character is one of U+0000..U+00FF and is held as the
// byte of the same value, so a std::string carries it exactly, 0x00 included.

// One batch as text: "%02X " per byte (hex), or one character per byte.
std::string BuildChunk(std::span<const uint8_t> batch, bool hex);

// "\r\nYYYY-MM-DD hh:mm:ss.mmm\r\n"
std::string FormatStamp(const UtcTime& t);

// Plain mode: the stamp, the chunk, then a line break; every batch is stamped.
void StampChunk(std::string& chunk, const UtcTime& t);

// Trigger mode: the trigger text (as typed: padded on the left with '0' to two characters,
// upper-cased) is searched as plain text; the stamp goes in front of its first occurrence.
// `now` is read only when it matches. Returns whether a stamp was inserted.
bool StampAtTrigger(std::string& chunk, std::u16string_view trigger, const UtcClock& now);
