#include "send/multibyte.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <memory>

std::string LocaleCharset() { return nl_langinfo(CODESET); }

std::string ToMultiByte(std::u16string_view text, const std::string& charset) {
    iconv_t cd = iconv_open(charset.c_str(), "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(text.size(), '?');
    std::unique_ptr<void, int (*)(iconv_t)> closer(cd, iconv_close);

    std::u16string in(text);
    std::string out(4 * in.size() + 16, '\0');
    char* inPtr = reinterpret_cast<char*>(in.data());
    size_t inLeft = in.size() * sizeof(char16_t);
    char* outPtr = out.data();
    size_t outLeft = out.size();
    auto grow = [&] {
        const size_t used = out.size() - outLeft;
        out.resize(out.size() * 2);
        outPtr = out.data() + used;
        outLeft = out.size() - used;
    };
    while (inLeft > 0) {
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG || outLeft == 0) {
            grow();
            continue;
        }
        // No mapping: one '?' for the character, which is two units when it is a whole
        // surrogate pair; a lone surrogate is one.
        const auto* unit = reinterpret_cast<const char16_t*>(inPtr);
        const bool pair = inLeft >= 2 * sizeof(char16_t) && unit[0] >= 0xD800 && unit[0] <= 0xDBFF &&
                          unit[1] >= 0xDC00 && unit[1] <= 0xDFFF;
        const size_t skip = (pair ? 2 : 1) * sizeof(char16_t);
        *outPtr++ = '?';
        --outLeft;
        inPtr += skip;
        inLeft -= std::min(inLeft, skip);
    }
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);  // flush any shift state
    out.resize(out.size() - outLeft);
    return out;
}

uint8_t HexDigitValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 255;
}

bool IsHexBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
