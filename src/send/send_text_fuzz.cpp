// Fuzz target: any send-area text in hex notation. Whatever it holds, one byte goes out per
// pair of non-blank characters (a lone last one its own byte); text the send command lets
// through (no non-hex character) must give the bytes its pairs spell.
#include <cstdlib>

#include "fuzz_input.h"
#include "send/multibyte.h"
#include "send/send_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string& charset = FuzzCharset(data[0]);
    const std::u16string text = FuzzUtf16(data + 1, size - 1);

    const std::vector<uint8_t> bytes = PrepareSendBytes(text, true, charset);
    std::u16string digits;
    for (char16_t c : text) {
        if (!IsHexBlank(c)) digits += c;
    }
    if (bytes.size() != (digits.size() + 1) / 2) std::abort();

    const size_t bad = FirstNonHexCharacter(text);
    if (bad != std::u16string::npos) {
        if (bad >= text.size() || IsHexBlank(text[bad]) || (text[bad] < 0x80 && HexDigitValue(text[bad]) != 255))
            std::abort();
        return 0;
    }
    if (ToMultiByte(u"0", charset) != "0") return 0;  // a set that does not write ASCII
    for (size_t k = 0; k < bytes.size(); ++k) {
        const bool lone = 2 * k + 1 == digits.size();
        const int expected = lone ? HexDigitValue(digits[2 * k])
                                  : HexDigitValue(digits[2 * k]) * 16 + HexDigitValue(digits[2 * k + 1]);
        if (bytes[k] != expected) std::abort();
    }
    return 0;
}
