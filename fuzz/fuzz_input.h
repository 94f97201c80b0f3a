#pragma once

// Shared by the fuzz targets: turns libFuzzer's bytes into the inputs of the parsers.
#include <cstddef>
#include <cstdint>
#include <string>

// The locale charsets the program may meet, the C locale's among them, and one iconv
// does not know.
inline const std::string& FuzzCharset(uint8_t pick) {
    static const std::string kCharsets[] = {"UTF-8",  "GBK",       "GB18030",        "BIG5",
                                            "EUC-JP", "ISO-8859-1", "ANSI_X3.4-1968", "NO-SUCH-SET"};
    return kCharsets[pick % (sizeof kCharsets / sizeof kCharsets[0])];
}

// Bytes read as UTF-16LE code units, lone and mismatched surrogates included; an odd last
// byte is dropped.
inline std::u16string FuzzUtf16(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    return text;
}
