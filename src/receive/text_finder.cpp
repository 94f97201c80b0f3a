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
    p.m_pairs = pairs;
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
    // A pair is judged by the space after it, so it counts once that space is there.
    const size_t n = m_pattern.Length() + (m_pattern.Pairs() ? 1 : 0);
    return m_pattern.Empty() || text.Size() < n ? 0 : text.Size() - n + 1;
}

std::pair<std::u16string_view, size_t> TextFinder::Read(const ReceiveText& text, size_t from,
                                                        size_t to) {
    const size_t lead = m_pattern.Pairs() && from > 0 ? 1 : 0;
    const size_t trail = m_pattern.Pairs() ? 1 : 0;
    const size_t count = std::min(text.Size(), to + m_pattern.Length() - 1 + trail) - (from - lead);
    m_buffer.resize(std::max(m_buffer.size(), count));
    text.CopyTo(m_buffer.data(), from - lead, count);
    if (m_pattern.FoldsCase()) std::transform(m_buffer.data(), m_buffer.data() + count, m_buffer.data(), FoldCase);
    return {{m_buffer.data(), count}, lead};
}

bool TextFinder::Whole(std::u16string_view chars, size_t i) const {
    if (!m_pattern.Pairs()) return true;
    const bool after = chars[i + m_pattern.Length()] == u' ';
    return after &&
           (i == 0 || chars[i - 1] == u' ' || chars[i - 1] == u'\n' || chars[i - 1] == u'\r');
}

template <typename Found>
void TextFinder::Scan(const ReceiveText& text, size_t from, size_t to, Found found) {
    to = std::min(to, Limit(text));
    for (size_t at = from; at < to; at += m_chunk) {
        const size_t starts = std::min(m_chunk, to - at);
        const auto [chars, lead] = Read(text, at, at + starts);
        const std::u16string& needle = m_pattern.Needle();
        for (size_t i = chars.find(needle, lead); i < lead + starts;
             i = chars.find(needle, i + 1)) {
            if (Whole(chars, i) && !found(at + i - lead)) return;
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
        const auto [chars, lead] = Read(text, at, end);
        for (size_t i = chars.rfind(m_pattern.Needle(), lead + end - at - 1);
             i != npos && i >= lead; i = i > 0 ? chars.rfind(m_pattern.Needle(), i - 1) : npos) {
            if (Whole(chars, i)) return at + i - lead;
        }
        end = at;
    }
    return npos;
}

uint64_t TextFinder::Count(const ReceiveText& text, size_t from, size_t to) {
    uint64_t count = 0;
    Scan(text, from, to, [&](size_t) { return ++count, true; });
    return count;
}
