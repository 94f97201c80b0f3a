#include "send/send_text.h"

#include "receive/chunk.h"
#include "send/multibyte.h"

namespace {

// The digits of hex notation: the text without white space, as bytes in `charset`, one per
// character (for hex notation, which is ASCII, byte i is character i).
std::string HexDigits(std::u16string_view text, const std::string& charset) {
    std::u16string kept;
    kept.reserve(text.size());
    for (char16_t c : text) {
        if (!IsHexBlank(c)) kept += c;
    }
    std::string digits = ToMultiByte(kept, charset);
    digits.resize(kept.size(), '?');  // a pair written as one '?' leaves the text short
    return digits;
}

}  // namespace

std::vector<uint8_t> PrepareSendBytes(std::u16string_view text, bool hex,
                                      const std::string& charset) {
    if (!hex) {
        std::string bytes = ToMultiByte(text, charset);
        return {bytes.begin(), bytes.end()};
    }
    const std::string digits = HexDigits(text, charset);
    const size_t n = digits.size();
    std::vector<uint8_t> out((n + 1) / 2);
    for (size_t k = 0; 2 * k + 1 < n; ++k) {
        out[k] = static_cast<uint8_t>(HexDigitValue(static_cast<uint8_t>(digits[2 * k])) * 16 +
                                      HexDigitValue(static_cast<uint8_t>(digits[2 * k + 1])));
    }
    if (n % 2) out.back() = HexDigitValue(static_cast<uint8_t>(digits[n - 1]));
    return out;
}

size_t FirstNonHexCharacter(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (!IsHexBlank(c) && (c > 0x7F || HexDigitValue(static_cast<uint8_t>(c)) == 255)) return i;
    }
    return std::u16string_view::npos;
}

std::u16string ToHexText(std::u16string_view text, const std::string& charset) {
    const std::string bytes = ToMultiByte(text, charset);
    const std::string hex =
        BuildChunk({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, true);
    return {hex.begin(), hex.end()};
}

std::u16string ToCharText(std::u16string_view text, const std::string& charset) {
    const std::string digits = HexDigits(text, charset);
    const size_t n = digits.size();
    auto d = [&](size_t i) { return static_cast<int8_t>(HexDigitValue(static_cast<uint8_t>(digits[i]))); };
    std::u16string out;
    out.reserve((n + 1) / 2);
    for (size_t k = 0; 2 * k + 1 < n; ++k) {
        out += static_cast<char16_t>((16 * d(2 * k) + d(2 * k + 1)) & 0xFFFF);
    }
    if (n % 2) out += static_cast<char16_t>(d(n - 1) & 0xFFFF);
    return out;
}

std::string_view LineEndingBytes(LineEnding ending) {
    switch (ending) {
        case LineEnding::None: return {};
        case LineEnding::Cr: return "\r";
        case LineEnding::Lf: return "\n";
        case LineEnding::CrLf: return "\r\n";
    }
    return {};
}
