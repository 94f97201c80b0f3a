#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Characters in append-only blocks: one byte each while every character is Latin-1 (all that
// the receive path produces), two once a wider one arrives (a typed Chinese character, the
// save notice). Appending never moves or changes what is stored, so a snapshot of a prefix
// stays valid while the store grows. Not thread-safe; window thread only.
class TextStore {
public:
    explicit TextStore(bool wide) : m_wide(wide) {}
    void AppendLatin1(std::string_view text);
    void AppendUtf16(std::u16string_view text);  // only on a wide store
    size_t Size() const { return m_size; }
    bool Wide() const { return m_wide; }
    char16_t At(size_t i) const;
    std::u16string Mid(size_t pos, size_t count) const;
    size_t MemoryBytes() const { return m_blocks.size() * kBlockBytes; }

private:
    static constexpr size_t kBlockBytes = 1 << 20;
    uint8_t* Slot(size_t i) const;

    std::vector<std::unique_ptr<uint8_t[]>> m_blocks;
    size_t m_size = 0;
    bool m_wide;
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
    bool operator==(const ReceiveText& other) const;

private:
    friend class ReceiveDocument;
    ReceiveText(std::shared_ptr<const TextStore> store, size_t length)
        : m_store(std::move(store)), m_length(length) {}

    std::shared_ptr<const TextStore> m_store;
    size_t m_length = 0;
};

// The receive area's text and where its lines start. "\r\n", a lone "\n" and a lone "\r"
// each end a line. Appending costs O(appended text) however much is stored; any other
// edit builds a new store, leaving earlier snapshots untouched. Window thread only.
class ReceiveDocument {
public:
    ReceiveDocument();

    void AppendLatin1(std::string_view text);
    void SetText(const ReceiveText& text);  // O(1) when it is a snapshot of this store
    // Replaces `count` characters at `pos` (an edit by the user).
    void Replace(size_t pos, size_t count, std::u16string_view text);
    ReceiveText Snapshot() const { return {m_store, m_store->Size()}; }

    size_t Size() const { return m_store->Size(); }
    char16_t At(size_t i) const { return m_store->At(i); }
    std::u16string Mid(size_t pos, size_t count) const { return m_store->Mid(pos, count); }
    size_t MemoryBytes() const;

    size_t LineCount() const { return m_lineStarts.size(); }
    size_t LineStart(size_t line) const { return m_lineStarts[line]; }
    size_t LineLength(size_t line) const;  // without its line break
    size_t LineOf(size_t pos) const;

private:
    void IndexFrom(size_t from);

    std::shared_ptr<TextStore> m_store;
    std::vector<uint64_t> m_lineStarts;
};
