#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "receive/utc_clock.h"

// A send as the receive area shows it, so a session reads as a conversation: "TX> " and
// the bytes as received ones are shown (hex pairs, or one character per byte), ending its
// line. Every line of a multi-line text send carries the marker, so no sent line reads as
// received. `lineOpen`: the text before does not end a line. With `stamp`, the line follows
// a stamp as a stamped batch does.
std::string EchoLine(std::span<const uint8_t> bytes, bool hex, bool lineOpen, const UtcTime* stamp);
