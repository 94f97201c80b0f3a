#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "receive/paged_vector.h"

// Append-only bytes in blocks (1 MiB unless a test asks for small ones), shared by every
// version of one receive text: what is written never moves or changes, so a version that
// refers to it stays valid. A run of bytes may be cut by a block border anywhere.
class ByteArena {
public:
    static constexpr unsigned kDefaultBlockBits = 20;
    explicit ByteArena(unsigned blockBits = kDefaultBlockBits)
        : m_blockBits(blockBits), m_blockBytes(size_t{1} << blockBits) {}

    uint64_t Size() const { return m_size; }
    uint64_t Append(const void* data, size_t n);  // returns where the bytes start
    uint8_t At(uint64_t offset) const {
        return m_blocks[offset >> m_blockBits][offset & (m_blockBytes - 1)];
    }
    // The bytes from `offset` to the end of its block (at most `max`), all in one place.
    std::pair<const uint8_t*, size_t> Run(uint64_t offset, size_t max) const {
        const size_t within = offset & (m_blockBytes - 1);
        return {m_blocks[offset >> m_blockBits].get() + within, std::min<size_t>(max, m_blockBytes - within)};
    }
    size_t MemoryBytes() const { return m_blocks.size() * m_blockBytes; }
    unsigned BlockBits() const { return m_blockBits; }

private:
    unsigned m_blockBits;
    size_t m_blockBytes;
    std::vector<std::unique_ptr<uint8_t[]>> m_blocks;
    uint64_t m_size = 0;
};

// A text as a table of pieces over a ByteArena. Received hex text is the bulk of what the
// receive area holds, so every run of "XX " (two upper-case hex digits and a space) in
// appended Latin-1 text is kept as one byte per pair and spelled out when read; other text
// is kept as Latin-1, one byte a character, or UTF-16 where a character needs it. The
// characters read back are exactly the ones appended. Window thread only.
class TextStore {
public:
    explicit TextStore(std::shared_ptr<ByteArena> arena = std::make_shared<ByteArena>());

    void AppendLatin1(std::string_view text);
    void AppendUtf16(std::u16string_view text);
    // Appends characters [from, to) of `source`, which shares this store's arena, without
    // copying what it can refer to.
    void AppendRange(const TextStore& source, size_t from, size_t to);

    size_t Size() const { return m_size; }
    char16_t At(size_t i) const;
    std::u16string Mid(size_t pos, size_t count) const;
    // Writes characters [pos, pos + count), which must exist, to `out`.
    void CopyTo(char16_t* out, size_t pos, size_t count) const;
    const std::shared_ptr<ByteArena>& Arena() const { return m_arena; }
    size_t MemoryBytes() const;  // the pieces, and the arena whoever else shares it
    // Whether characters [from, to) may hold one above U+00FF: they are kept as UTF-16.
    // Costs the pieces in the range, not its characters.
    bool HasTextAboveLatin1(size_t from, size_t to) const;

private:
    enum Kind : uint8_t { kLatin1, kUtf16, kHex };
    struct Piece {
        uint64_t charStart;
        uint64_t byteStart : 62;
        uint64_t kind : 2;
    };
    static constexpr size_t kCharsPerHexByte = 3;

    void AddPiece(Kind kind, uint64_t byteStart, size_t chars);
    // `text` as one piece of UTF-16 when `wide`, else as Latin-1, which all of it then is.
    void AppendRun(std::u16string_view text, bool wide);
    size_t PieceOf(size_t i) const;  // the piece holding character i
    size_t PieceEnd(size_t p) const;

    std::shared_ptr<ByteArena> m_arena;
    PagedVector<Piece> m_pieces;
    size_t m_size = 0;
    bool m_anyUtf16 = false;
    mutable size_t m_lastPiece = 0;  // reads are mostly in order: start looking here
};

// The first `Size()` characters of a store, frozen: what a take exchange copies out of the
// receive area. Copying and comparing snapshots of the same store cost O(1).
class ReceiveText {
public:
    ReceiveText() = default;
    static ReceiveText FromUtf16(std::u16string_view text);
    static ReceiveText FromLatin1(std::string_view text);

    size_t Size() const { return m_length; }
    bool Empty() const { return m_length == 0; }
    std::u16string Mid(size_t pos, size_t count) const;
    std::u16string ToUtf16() const { return Mid(0, m_length); }
    // Writes characters [pos, pos + count), which must exist, to `out`.
    void CopyTo(char16_t* out, size_t pos, size_t count) const { m_store->CopyTo(out, pos, count); }
    // True when this text is `earlier` with only appends since: what was read of `earlier`
    // still holds. O(1).
    bool Extends(const ReceiveText& earlier) const {
        return m_store == earlier.m_store && m_length >= earlier.m_length;
    }
    bool operator==(const ReceiveText& other) const;

private:
    friend class ReceiveDocument;
    ReceiveText(std::shared_ptr<const TextStore> store, size_t length)
        : m_store(std::move(store)), m_length(length) {}

    std::shared_ptr<const TextStore> m_store;
    size_t m_length = 0;
};

// The receive area's text and where its lines start. "\r\n", a lone "\n" and a lone "\r"
// each end a line. Appending costs O(appended text) however much is stored; an edit costs
// O(edited text + pieces + lines after it), never a copy of the text, and leaves earlier
// snapshots untouched. Window thread only.
class ReceiveDocument {
public:
    explicit ReceiveDocument(unsigned arenaBlockBits = ByteArena::kDefaultBlockBits);

    void AppendLatin1(std::string_view text);
    void AppendUtf16(std::u16string_view text);
    void SetText(const ReceiveText& text);  // O(1) when it is a snapshot of this store
    // Replaces `count` characters at `pos` (an edit by the user).
    void Replace(size_t pos, size_t count, std::u16string_view text);
    ReceiveText Snapshot() const { return {m_store, m_store->Size()}; }

    size_t Size() const { return m_store->Size(); }
    char16_t At(size_t i) const { return m_store->At(i); }
    std::u16string Mid(size_t pos, size_t count) const { return m_store->Mid(pos, count); }
    void CopyTo(char16_t* out, size_t pos, size_t count) const { m_store->CopyTo(out, pos, count); }
    bool HasTextAboveLatin1(size_t from, size_t to) const { return m_store->HasTextAboveLatin1(from, to); }
    size_t MemoryBytes() const;

    size_t LineCount() const { return m_lineStarts.size(); }
    size_t LineStart(size_t line) const { return m_lineStarts[line]; }
    size_t LineLength(size_t line) const;  // without its line break
    size_t LineOf(size_t pos) const;

private:
    // Line starts for characters [pos, pos + inserted), which replaced `removed` others.
    void Reindex(size_t pos, size_t inserted, size_t removed);
    bool StartsLine(size_t s) const;

    std::shared_ptr<TextStore> m_store;
    PagedVector<uint64_t> m_lineStarts;
};
