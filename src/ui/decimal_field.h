#pragma once

#include <cstdint>
#include <string_view>

// An unsigned 32-bit decimal as typed into one of the dialog's number fields (the
// interval and the two counters): white space around it is ignored (the characters
// QChar::isSpace calls space), then an optional '+' and one or more ASCII digits, at
// most 4294967295. Leaves `value` alone and returns false for anything else.
bool ParseUInt32(std::u16string_view text, uint32_t& value);
