// Fuzz target: any UTF-16, lone surrogates included, to each locale charset. In UTF-8 the
// result must be exactly the text with every lone surrogate turned into '?'; in every set
// that writes ASCII a U+0000 is a zero byte and the text on each side converts on its own.
#include <cstdlib>

#include "fuzz_input.h"
#include "send/multibyte.h"

namespace {

std::string Utf8WithLoneSurrogatesAsQuestionMarks(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += '?';
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string& charset = FuzzCharset(data[0]);
    const std::u16string text = FuzzUtf16(data + 1, size - 1);
    const std::string bytes = ToMultiByte(text, charset);
    if (charset == "UTF-8" && bytes != Utf8WithLoneSurrogatesAsQuestionMarks(text)) std::abort();
    const size_t nul = text.find(u'\0');
    if (nul == std::u16string::npos || ToMultiByte(u"0", charset) != "0") return 0;
    const std::u16string_view whole(text);
    if (bytes != ToMultiByte(whole.substr(0, nul), charset) + '\0' + ToMultiByte(whole.substr(nul + 1), charset))
        std::abort();
    return 0;
}
