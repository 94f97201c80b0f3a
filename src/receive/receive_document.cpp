#include "receive/receive_document.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// 0..15 for an upper-case hex digit, else -1: only what BuildChunk writes is compacted.
constexpr auto kDigitValue = [] {
    std::array<int8_t, 256> v{};
    v.fill(-1);
    for (int d = 0; d < 16; ++d) v[static_cast<uint8_t>(kDigits[d])] = static_cast<int8_t>(d);
    return v;
}();

// The byte of the "XX " pair at `p`, or -1.
int PairValue(const char* p) {
    if (p[2] != ' ') return -1;
    const int hi = kDigitValue[static_cast<uint8_t>(p[0])], lo = kDigitValue[static_cast<uint8_t>(p[1])];
    return (hi | lo) < 0 ? -1 : hi << 4 | lo;
}

// Shorter runs stay text: a piece costs more than the bytes it would save.
constexpr size_t kMinHexRun = 8;

}  // namespace

uint64_t ByteArena::Append(const void* data, size_t n) {
    const uint64_t start = m_size;
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (n > 0) {
        if (m_size == m_blocks.size() * m_blockBytes) {
            m_blocks.push_back(std::make_unique_for_overwrite<uint8_t[]>(m_blockBytes));
        }
        const size_t at = m_size & (m_blockBytes - 1);
        const size_t part = std::min(n, m_blockBytes - at);
        std::memcpy(m_blocks.back().get() + at, bytes, part);
        bytes += part;
        n -= part;
        m_size += part;
    }
    return start;
}

TextStore::TextStore(std::shared_ptr<ByteArena> arena) : m_arena(std::move(arena)) {}

size_t TextStore::MemoryBytes() const {
    return m_arena->MemoryBytes() + m_pieces.capacity() * sizeof(Piece);
}

bool TextStore::HasTextAboveLatin1(size_t from, size_t to) const {
    if (!m_anyUtf16) return false;  // received bytes shown one a character, or as hex
    to = std::min(to, m_size);
    for (size_t p = from < to ? PieceOf(from) : m_pieces.size(); p < m_pieces.size() && m_pieces[p].charStart < to; ++p) {
        if (m_pieces[p].kind == kUtf16) return true;
    }
    return false;
}

size_t TextStore::PieceEnd(size_t p) const {
    return p + 1 < m_pieces.size() ? m_pieces[p + 1].charStart : m_size;
}

size_t TextStore::PieceOf(size_t i) const {
    size_t p = m_lastPiece;
    if (p < m_pieces.size() && m_pieces[p].charStart <= i && i < PieceEnd(p)) return p;
    if (p + 1 < m_pieces.size() && m_pieces[p + 1].charStart <= i && i < PieceEnd(p + 1)) {
        return m_lastPiece = p + 1;
    }
    return m_lastPiece = m_pieces.PartitionPoint(0, [i](const Piece& piece) { return piece.charStart <= i; }) - 1;
}

void TextStore::AddPiece(Kind kind, uint64_t byteStart, size_t chars) {
    if (chars == 0) return;
    if (!m_pieces.empty()) {
        // Right after the last piece's bytes and of its kind: the last piece grows.
        const Piece& last = m_pieces.back();
        const uint64_t lastChars = m_size - last.charStart;
        const uint64_t lastBytes = last.kind == kHex    ? lastChars / kCharsPerHexByte
                                   : last.kind == kUtf16 ? 2 * lastChars
                                                         : lastChars;
        if (last.kind == kind && last.byteStart + lastBytes == byteStart) {
            m_size += chars;
            return;
        }
    }
    m_pieces.push_back({m_size, byteStart, kind});
    m_anyUtf16 = m_anyUtf16 || kind == kUtf16;
    m_size += chars;
}

void TextStore::AppendLatin1(std::string_view text) {
    // A run continues the hex piece the store ends with, whatever its length.
    const bool continuesHex = !m_pieces.empty() && m_pieces.back().kind == kHex &&
                              (m_size - m_pieces.back().charStart) % kCharsPerHexByte == 0;
    const char* data = text.data();
    const size_t n = text.size();
    uint8_t bytes[1024];
    size_t plainFrom = 0;
    for (size_t i = 0; i < n;) {
        // Decode the run of pairs at i; keep it if it is long enough to be worth a piece.
        size_t end = i, decoded = 0;
        bool kept = false;
        for (int v; end + kCharsPerHexByte <= n && (v = PairValue(data + end)) >= 0; end += kCharsPerHexByte) {
            bytes[decoded++] = static_cast<uint8_t>(v);
            if (decoded == sizeof bytes || end + 2 * kCharsPerHexByte > n || PairValue(data + end + 3) < 0) {
                const size_t runStart = end + kCharsPerHexByte - decoded * kCharsPerHexByte;
                if (!kept && decoded < kMinHexRun && !(runStart == 0 && continuesHex)) break;
                if (!kept && plainFrom < runStart) {
                    AddPiece(kLatin1, m_arena->Append(data + plainFrom, runStart - plainFrom), runStart - plainFrom);
                }
                kept = true;
                AddPiece(kHex, m_arena->Append(bytes, decoded), decoded * kCharsPerHexByte);
                decoded = 0;
            }
        }
        if (kept) {
            plainFrom = i = end;
        } else {
            i = end > i ? end : i + 1;
        }
    }
    if (plainFrom < n) {
        AddPiece(kLatin1, m_arena->Append(data + plainFrom, n - plainFrom), n - plainFrom);
    }
}

void TextStore::AppendUtf16(std::u16string_view text) {
    // Line by line: a line of Latin-1 characters that comes with wider ones is still kept as
    // Latin-1, so it costs a byte a character and is laid out as narrow.
    size_t run = 0;
    bool runWide = false;
    for (size_t at = 0; at < text.size();) {
        size_t end = at;
        bool wide = false;
        while (end < text.size()) {
            const char16_t c = text[end++];
            wide = wide || c > 0xFF;
            if (c == u'\r' && end < text.size() && text[end] == u'\n') ++end;  // one break
            if (c == u'\n' || c == u'\r') break;
        }
        if (at > run && wide != runWide) {
            AppendRun(text.substr(run, at - run), runWide);
            run = at;
        }
        runWide = wide;
        at = end;
    }
    AppendRun(text.substr(run), runWide);
}

void TextStore::AppendRun(std::u16string_view text, bool wide) {
    if (!wide) {
        std::string narrow(text.size(), '\0');
        for (size_t i = 0; i < text.size(); ++i) narrow[i] = static_cast<char>(text[i]);
        AppendLatin1(narrow);
        return;
    }
    std::string bytes(2 * text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    AddPiece(kUtf16, m_arena->Append(bytes.data(), bytes.size()), text.size());
}

void TextStore::AppendRange(const TextStore& source, size_t from, size_t to) {
    to = std::min(to, source.m_size);
    for (size_t at = from; at < to;) {
        const size_t p = source.PieceOf(at);
        const Piece& piece = source.m_pieces[p];
        const size_t end = std::min(source.PieceEnd(p), to);
        const size_t offset = at - piece.charStart;
        switch (piece.kind) {
            case kLatin1: AddPiece(kLatin1, piece.byteStart + offset, end - at); break;
            case kUtf16: AddPiece(kUtf16, piece.byteStart + 2 * offset, end - at); break;
            default: {
                // Whole pairs are referred to; a pair cut by the range is spelled out.
                const size_t first = (offset + kCharsPerHexByte - 1) / kCharsPerHexByte * kCharsPerHexByte;
                const size_t last = (offset + end - at) / kCharsPerHexByte * kCharsPerHexByte;
                if (first >= last) {
                    AppendUtf16(source.Mid(at, end - at));
                    break;
                }
                AppendUtf16(source.Mid(at, first - offset));
                AddPiece(kHex, piece.byteStart + first / kCharsPerHexByte, last - first);
                AppendUtf16(source.Mid(piece.charStart + last, offset + (end - at) - last));
                break;
            }
        }
        at = end;
    }
}

char16_t TextStore::At(size_t i) const {
    const Piece& piece = m_pieces[PieceOf(i)];
    const size_t offset = i - piece.charStart;
    switch (piece.kind) {
        case kLatin1: return m_arena->At(piece.byteStart + offset);
        case kUtf16:
            return static_cast<char16_t>(m_arena->At(piece.byteStart + 2 * offset) |
                                         m_arena->At(piece.byteStart + 2 * offset + 1) << 8);
        default: {
            const uint8_t b = m_arena->At(piece.byteStart + offset / kCharsPerHexByte);
            switch (offset % kCharsPerHexByte) {
                case 0: return static_cast<char16_t>(kDigits[b >> 4]);
                case 1: return static_cast<char16_t>(kDigits[b & 0xF]);
                default: return u' ';
            }
        }
    }
}

std::u16string TextStore::Mid(size_t pos, size_t count) const {
    pos = std::min(pos, m_size);
    count = std::min(count, m_size - pos);
    std::u16string out(count, u'\0');
    CopyTo(out.data(), pos, count);
    return out;
}

void TextStore::CopyTo(char16_t* out, size_t pos, size_t count) const {
    // Piece by piece, and within a piece block by block: no lookup per character.
    for (const size_t end = pos + count; pos < end;) {
        const size_t p = PieceOf(pos);
        const Piece& piece = m_pieces[p];
        size_t n = std::min(PieceEnd(p), end) - pos;
        const size_t offset = pos - piece.charStart;
        pos += n;
        if (piece.kind == kHex) {
            auto spell = [&](size_t i) -> char16_t {
                const uint8_t b = m_arena->At(piece.byteStart + i / kCharsPerHexByte);
                const size_t r = i % kCharsPerHexByte;
                return r == 0 ? kDigits[b >> 4] : r == 1 ? kDigits[b & 0xF] : u' ';
            };
            size_t i = offset;
            for (; n > 0 && i % kCharsPerHexByte != 0; --n) *out++ = spell(i++);  // a cut pair
            for (uint64_t at = piece.byteStart + i / kCharsPerHexByte; n >= kCharsPerHexByte;) {
                const auto [bytes, length] = m_arena->Run(at, n / kCharsPerHexByte);
                for (size_t k = 0; k < length; ++k) {
                    *out++ = kDigits[bytes[k] >> 4];
                    *out++ = kDigits[bytes[k] & 0xF];
                    *out++ = u' ';
                }
                at += length;
                n -= length * kCharsPerHexByte;
                i += length * kCharsPerHexByte;
            }
            for (; n > 0; --n) *out++ = spell(i++);  // a pair cut at the end
            continue;
        }
        const size_t width = piece.kind == kUtf16 ? 2 : 1;
        for (uint64_t at = piece.byteStart + width * offset; n > 0;) {
            const auto [bytes, length] = m_arena->Run(at, width * n);
            size_t taken = length;
            if (width == 1) {
                for (size_t k = 0; k < length; ++k) *out++ = bytes[k];
            } else {
                size_t k = 0;
                for (; k + 1 < length; k += 2) *out++ = static_cast<char16_t>(bytes[k] | bytes[k + 1] << 8);
                if (k < length) {  // a piece at an odd offset: this character straddles the border
                    *out++ = static_cast<char16_t>(bytes[k] | m_arena->At(at + length) << 8);
                    ++taken;
                }
            }
            at += taken;
            n -= taken / width;
        }
    }
}

ReceiveText ReceiveText::FromUtf16(std::u16string_view text) {
    auto store = std::make_shared<TextStore>();
    store->AppendUtf16(text);
    return {std::move(store), text.size()};
}

ReceiveText ReceiveText::FromLatin1(std::string_view text) {
    auto store = std::make_shared<TextStore>();
    store->AppendLatin1(text);
    return {std::move(store), text.size()};
}

std::u16string ReceiveText::Mid(size_t pos, size_t count) const {
    if (!m_store || pos >= m_length) return {};
    return m_store->Mid(pos, std::min(count, m_length - pos));
}

bool ReceiveText::operator==(const ReceiveText& other) const {
    if (m_length != other.m_length) return false;
    if (m_store == other.m_store || m_length == 0) return true;
    for (size_t i = 0; i < m_length; ++i) {
        if (m_store->At(i) != other.m_store->At(i)) return false;
    }
    return true;
}

ReceiveDocument::ReceiveDocument(unsigned arenaBlockBits)
    : m_store(std::make_shared<TextStore>(std::make_shared<ByteArena>(arenaBlockBits))), m_lineStarts{0} {}

size_t ReceiveDocument::MemoryBytes() const {
    return m_store->MemoryBytes() + m_lineStarts.capacity() * sizeof(uint64_t);
}

bool ReceiveDocument::StartsLine(size_t s) const {
    if (s == 0) return true;
    const char16_t before = At(s - 1);
    return before == u'\n' || (before == u'\r' && (s == Size() || At(s) != u'\n'));
}

void ReceiveDocument::AppendLatin1(std::string_view text) {
    const size_t old = Size();
    m_store->AppendLatin1(text);
    // A start at the old end (after a '\r') is decided again now that a character follows.
    if (old > 0 && m_lineStarts.back() == old) m_lineStarts.pop_back();
    if (old > 0 && StartsLine(old)) m_lineStarts.push_back(old);
    // Breaks are few (hex text has none inside its pairs): jump from one to the next.
    const char* data = text.data();
    const char* end = data + text.size();
    auto find = [end](const char* from, const char* to, char c) {
        return static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(to - from)));
    };
    const char* cr = find(data, end, '\r');  // the next '\r', found once per '\r'
    for (const char* p = data; p < end; ++p) {
        if (cr && cr < p) cr = find(p, end, '\r');
        const char* lf = find(p, cr ? cr : end, '\n');
        p = lf ? lf : cr;
        if (!p) break;
        if (*p == '\n' || p + 1 == end || p[1] != '\n') m_lineStarts.push_back(old + static_cast<size_t>(p - data) + 1);
    }
}

void ReceiveDocument::AppendUtf16(std::u16string_view text) {
    const size_t old = Size();
    m_store->AppendUtf16(text);
    Reindex(old, text.size(), 0);
}

void ReceiveDocument::Reindex(size_t pos, size_t inserted, size_t removed) {
    // A line start depends on the characters before and at it: only those next to the edit
    // can change; the ones after it move with it.
    const size_t first = m_lineStarts.PartitionPoint(1, [pos](uint64_t s) { return s < std::max<size_t>(pos, 1); });
    const size_t after = m_lineStarts.PartitionPoint(first, [&](uint64_t s) { return s <= pos + removed; });
    std::vector<uint64_t> tail;
    for (size_t i = after; i < m_lineStarts.size(); ++i) tail.push_back(m_lineStarts[i]);
    m_lineStarts.resize(first);
    for (size_t s = std::max<size_t>(pos, 1); s <= pos + inserted; ++s) {
        if (StartsLine(s)) m_lineStarts.push_back(s);
    }
    for (uint64_t s : tail) m_lineStarts.push_back(s + inserted - removed);
}

void ReceiveDocument::SetText(const ReceiveText& text) {
    if (text.m_store == m_store && text.m_length == m_store->Size()) return;
    const size_t old = Size();
    auto store = std::make_shared<TextStore>(text.m_store ? text.m_store->Arena()
                                                          : std::make_shared<ByteArena>(m_store->Arena()->BlockBits()));
    if (text.m_store) store->AppendRange(*text.m_store, 0, text.m_length);
    m_store = std::move(store);
    Reindex(0, Size(), old);
}

void ReceiveDocument::Replace(size_t pos, size_t count, std::u16string_view text) {
    pos = std::min(pos, Size());
    count = std::min(count, Size() - pos);
    auto next = std::make_shared<TextStore>(m_store->Arena());
    next->AppendRange(*m_store, 0, pos);
    next->AppendUtf16(text);
    next->AppendRange(*m_store, pos + count, Size());
    m_store = std::move(next);
    Reindex(pos, text.size(), count);
}

size_t ReceiveDocument::LineLength(size_t line) const {
    const size_t start = m_lineStarts[line];
    if (line + 1 == m_lineStarts.size()) return Size() - start;
    const size_t next = m_lineStarts[line + 1];
    const bool crlf = next >= start + 2 && At(next - 1) == u'\n' && At(next - 2) == u'\r';
    return next - start - (crlf ? 2 : 1);
}

size_t ReceiveDocument::LineOf(size_t pos) const {
    return m_lineStarts.PartitionPoint(0, [pos](uint64_t s) { return s <= pos; }) - 1;
}
