// Fuzz target: the two converters on any text. Characters to hex and back gives the text's
// bytes in the charset, one character each; hex to characters gives one character per pair
// of non-blank characters, whatever they are.
#include <cstdlib>

#include "fuzz_input.h"
#include "send/multibyte.h"
#include "send/send_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string& charset = FuzzCharset(data[0]);
    const std::u16string text = FuzzUtf16(data + 1, size - 1);

    size_t nonBlank = 0;
    for (char16_t c : text) nonBlank += !IsHexBlank(c);
    if (ToCharText(text, charset).size() != (nonBlank + 1) / 2) std::abort();

    const std::u16string hex = ToHexText(text, charset);
    const std::string bytes = ToMultiByte(text, charset);
    if (hex.size() != 3 * bytes.size()) std::abort();
    if (ToMultiByte(u"0", charset) != "0") return 0;  // a set that does not write ASCII
    const std::u16string back = ToCharText(hex, charset);
    if (back.size() != bytes.size()) std::abort();
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (back[i] != static_cast<uint8_t>(bytes[i])) std::abort();
    }
    return 0;
}
