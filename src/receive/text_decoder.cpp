#include "receive/text_decoder.h"

#include <iconv.h>

#include <cerrno>
#include <utility>

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool IsAscii(std::string_view bytes) {
    uint8_t any = 0;  // no early exit: the loop vectorises
    for (char c : bytes) any |= static_cast<uint8_t>(c);
    return any < 0x80;
}

}  // namespace

TextDecoder::TextDecoder(TextEncoding encoding) : m_encoding(), m_converter(nullptr, iconv_close) {
    SetEncoding(encoding);
}

void TextDecoder::SetEncoding(TextEncoding encoding) {
    m_encoding = encoding;
    m_converter.reset();
    if (encoding == TextEncoding::Bytes) return;
    iconv_t cd = iconv_open("UTF-16LE", encoding == TextEncoding::Utf8 ? "UTF-8" : "GB18030");
    // glibc always has both; without them the bytes are shown one by one, as before.
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        m_encoding = TextEncoding::Bytes;
        return;
    }
    m_converter.reset(cd);
}

bool TextDecoder::StartsCharacter(uint8_t byte) const {
    // Bytes no multi-byte character of the encoding holds after its first byte, so one of
    // them always begins a character, valid or not.
    if (m_encoding == TextEncoding::Utf8) return byte < 0x80 || byte >= 0xC0;
    return byte < 0x30 || byte == 0x7F || byte == 0xFF;
}

std::string TextDecoder::WholeCharacters(std::span<const uint8_t> burst) {
    std::string bytes = std::exchange(m_tail, {});
    bytes.append(burst.begin(), burst.end());
    if (!m_converter || IsAscii(bytes)) return bytes;
    // Only the last character can be unfinished: decode from where it surely begins.
    size_t from = bytes.size();
    while (from > 0 && !StartsCharacter(static_cast<uint8_t>(bytes[from - 1]))) --from;
    from -= from > 0;
    const size_t whole = from + Convert(std::string_view(bytes).substr(from), nullptr);
    m_tail = bytes.substr(whole);
    bytes.resize(whole);
    return bytes;
}

std::string TextDecoder::AllBytes(std::span<const uint8_t> burst) {
    std::string bytes = std::exchange(m_tail, {});
    bytes.append(burst.begin(), burst.end());
    return bytes;
}

std::u16string TextDecoder::Decode(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    if (!m_converter || IsAscii(bytes)) {
        text.assign(bytes.begin(), bytes.end());
        for (char16_t& c : text) c &= 0xFF;  // a char is signed: 0xB0 would widen to 0xFFB0
        return text;
    }
    Convert(bytes, &text);
    return text;
}

size_t TextDecoder::Convert(std::string_view bytes, std::u16string* text) {
    iconv_t cd = m_converter.get();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());  // iconv's signature; it only reads
    size_t inLeft = bytes.size();
    char16_t buffer[1024];
    while (inLeft > 0) {
        char* out = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        if (text)
            text->append(buffer, static_cast<size_t>(out - reinterpret_cast<char*>(buffer)) / 2);
        if (result != static_cast<size_t>(-1) || error == E2BIG) continue;
        if (error == EINVAL && !text) break;  // a character still arriving
        // Invalid, or unfinished for good: that byte alone is replaced.
        if (text) text->push_back(kReplacement);
        ++in;
        --inLeft;
    }
    return bytes.size() - inLeft;
}
