#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The character set the user's locale writes text in (nl_langinfo(CODESET)), for example
// "UTF-8" or "GBK"; the program sends text in it.
std::string LocaleCharset();

// The whole UTF-16 text in `charset`; a U+0000 is a zero byte like any other character. A
// character the set cannot write becomes '?'. The result is as long as it needs to be
// (UTF-8 takes three bytes for one CJK character), so nothing is cut.
std::string ToMultiByte(std::u16string_view text, const std::string& charset);

// 0x30..0x39 give 0..9, A..F and a..f give 10..15, every other byte gives 255.
uint8_t HexDigitValue(uint8_t c);

// White space as the send and convert commands see it: space, tab, line feed, vertical
// tab, form feed, carriage return.
bool IsHexBlank(char16_t c);
