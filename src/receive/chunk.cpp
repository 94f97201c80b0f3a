#include "receive/chunk.h"

#include <cstdio>

std::string BuildChunk(std::span<const uint8_t> batch, bool hex) {
    if (!hex) return {batch.begin(), batch.end()};
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string chunk(batch.size() * 3, ' ');
    for (size_t i = 0; i < batch.size(); ++i) {
        chunk[3 * i] = kDigits[batch[i] >> 4];
        chunk[3 * i + 1] = kDigits[batch[i] & 0xF];
    }
    return chunk;
}

std::string FormatStamp(const UtcTime& t) {
    char text[64];
    int n = std::snprintf(text, sizeof text, "\r\n%d-%02d-%02d %02d:%02d:%02d.%03d\r\n", t.year,
                          t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
    return {text, static_cast<size_t>(n)};
}

void StampChunk(std::string& chunk, const UtcTime& t) {
    chunk.insert(0, FormatStamp(t));
    chunk += "\r\n";
}

bool StampAtTrigger(std::string& chunk, std::u16string_view trigger, const UtcClock& now) {
    std::u16string padded(trigger);
    while (padded.size() < 2) padded.insert(padded.begin(), u'0');
    std::string needle;
    for (char16_t c : padded) {
        if (c > 0xFF) return false;  // never in a received chunk
        needle += static_cast<char>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c);
    }
    size_t at = chunk.find(needle);
    if (at == std::string::npos) return false;
    chunk.insert(at, FormatStamp(now()));
    return true;
}
