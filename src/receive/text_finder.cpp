#include "receive/text_finder.h"

#include <algorithm>

namespace {

char16_t FoldCase(char16_t c) { return c >= u'A' && c <= u'Z' ? c | 0x20 : c; }

}  // namespace

FindPattern FindPattern::Text(std::u16string_view text, bool matchCase) {
    FindPattern p;
    p.m_needle = text;
    p.m_foldCase = !matchCase;
    if (p.m_foldCase) std::transform(p.m_needle.begin(), p.m_needle.end(), p.m_needle.begin(), FoldCase);
    return p;
}

std::optional<FindPattern> FindPattern::Bytes(const std::vector<uint8_t>& bytes, bool pairs,
                                              TextEncoding encoding) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    FindPattern p;
    if (pairs) {
        for (uint8_t b : bytes) {
            if (!p.m_needle.empty()) p.m_needle += u' ';
            p.m_needle += kDigits[b >> 4];
            p.m_needle += kDigits[b & 0xF];
        }
        return p;
    }
    // The receive area's own decoding, so the pattern reads exactly as the bytes are shown.
    TextDecoder decoder(encoding);
    if (decoder.WholeCharacters(bytes).size() != bytes.size()) return std::nullopt;
    p.m_needle = decoder.Decode({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    if (encoding != TextEncoding::Bytes && p.m_needle.find(u'\uFFFD') != std::u16string::npos) {
        return std::nullopt;
    }
    return p;
}

TextFinder::TextFinder(FindPattern pattern, size_t chunk) : m_pattern(std::move(pattern)), m_chunk(chunk) {}

size_t TextFinder::Limit(const ReceiveText& text) const {
    const size_t n = m_pattern.Length();
    return n == 0 || text.Size() < n ? 0 : text.Size() - n + 1;
}

std::u16string_view TextFinder::Read(const ReceiveText& text, size_t from, size_t to) {
    const size_t count = std::min(text.Size(), to + m_pattern.Length() - 1) - from;
    m_buffer.resize(std::max(m_buffer.size(), count));
    text.CopyTo(m_buffer.data(), from, count);
    if (m_pattern.FoldsCase()) std::transform(m_buffer.data(), m_buffer.data() + count, m_buffer.data(), FoldCase);
    return {m_buffer.data(), count};
}

template <typename Found>
void TextFinder::Scan(const ReceiveText& text, size_t from, size_t to, Found found) {
    to = std::min(to, Limit(text));
    for (size_t at = from; at < to; at += m_chunk) {
        const size_t starts = std::min(m_chunk, to - at);
        const std::u16string_view chars = Read(text, at, at + starts);
        for (size_t i = chars.find(m_pattern.Needle()); i < starts; i = chars.find(m_pattern.Needle(), i + 1)) {
            if (!found(at + i)) return;
        }
    }
}

size_t TextFinder::First(const ReceiveText& text, size_t from, size_t to) {
    size_t first = npos;
    Scan(text, from, to, [&](size_t pos) {
        first = pos;
        return false;
    });
    return first;
}

size_t TextFinder::Last(const ReceiveText& text, size_t from, size_t to) {
    to = std::min(to, Limit(text));
    // Chunk by chunk from the end, so the work stops at the last match.
    for (size_t end = to; end > from;) {
        const size_t at = end - std::min(m_chunk, end - from);
        const std::u16string_view chars = Read(text, at, end);
        const size_t i = chars.rfind(m_pattern.Needle(), end - at - 1);
        if (i != npos) return at + i;
        end = at;
    }
    return npos;
}

uint64_t TextFinder::Count(const ReceiveText& text, size_t from, size_t to) {
    uint64_t count = 0;
    Scan(text, from, to, [&](size_t) { return ++count, true; });
    return count;
}
