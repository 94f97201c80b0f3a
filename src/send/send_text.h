#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serial/port_options.h"

// What the send area's text puts on the line.
//
// Hex notation: white space is dropped (it separates, but never splits a byte), then the
// characters are read in pairs, each digit by HexDigitValue, the pair modulo 256; a lone
// last digit is a byte of its own. A non-digit counts as 255: callers refuse such text
// first (FirstNonHexCharacter).
// Text: the text in `charset`, with nothing added.
std::vector<uint8_t> PrepareSendBytes(std::u16string_view text, bool hex, const std::string& charset);

// The bytes `ending` puts after a text send.
std::string_view LineEndingBytes(LineEnding ending);

// Where the first character that is neither a hex digit nor white space stands in `text`
// (a UTF-16 index), or npos when there is none.
size_t FirstNonHexCharacter(std::u16string_view text);

// "%02X " for every byte of the text in `charset`.
std::u16string ToHexText(std::u16string_view text, const std::string& charset);

// Hex notation back to characters, one per pair: c = (16 * d1 + d2) modulo 65536 with a
// non-digit counting as -1 (G1 gives U+FFF1), a lone last digit its own value (U+FFFF for
// a non-digit). White space is dropped as for sending.
std::u16string ToCharText(std::u16string_view text, const std::string& charset);
