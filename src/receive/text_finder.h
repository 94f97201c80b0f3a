#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "receive/receive_document.h"
#include "receive/text_decoder.h"

// What the find bar looks for, as the characters that match it.
class FindPattern {
public:
    FindPattern() = default;
    // Text, exactly or with ASCII letters matched in either case. Other characters match
    // only themselves: in text shown one character per byte, those above U+007F are bytes,
    // not letters.
    static FindPattern Text(std::u16string_view text, bool matchCase);
    // Bytes as the receive area shows them: as hex pairs ("0D 0A") while it shows hex, else
    // as the characters they read as in `encoding`. Shown as characters, bytes can be found
    // only as whole ones: none when they begin or end inside a character or hold an invalid
    // byte. Pairs match only whole received pairs: after a space, a line break or the
    // start, and before the space each pair ends with; never digits of a stamp.
    static std::optional<FindPattern> Bytes(const std::vector<uint8_t>& bytes, bool pairs,
                                            TextEncoding encoding = TextEncoding::Bytes);

    bool Empty() const { return m_needle.empty(); }
    size_t Length() const { return m_needle.size(); }
    bool FoldsCase() const { return m_foldCase; }
    const std::u16string& Needle() const { return m_needle; }  // folded when it folds case
    bool Pairs() const { return m_pairs; }

private:
    std::u16string m_needle;
    bool m_foldCase = false;
    bool m_pairs = false;
};

// Looks for a pattern in ranges of a receive text. A match is every place the pattern
// starts, so matches may overlap ("aa" is in "aaa" twice). Each call reads the characters
// of the matches that start in [from, to) and no others: the caller bounds the work. Window
// thread only, as the text.
class TextFinder {
public:
    static constexpr size_t npos = std::u16string_view::npos;
    // Reads at most `chunk` starts' worth of characters at a time.
    explicit TextFinder(FindPattern pattern, size_t chunk = size_t{1} << 16);

    const FindPattern& Pattern() const { return m_pattern; }
    // The end of the places a whole match can start in `text`.
    size_t Limit(const ReceiveText& text) const;
    size_t First(const ReceiveText& text, size_t from, size_t to);  // npos when none
    size_t Last(const ReceiveText& text, size_t from, size_t to);   // npos when none
    uint64_t Count(const ReceiveText& text, size_t from, size_t to);

private:
    // The characters a match starting in [from, to) is judged by, case folded when the
    // pattern folds: for pairs, one before `from` and one past the match too. Returns them
    // and where `from` is among them; `to` is at most a chunk past `from`.
    std::pair<std::u16string_view, size_t> Read(const ReceiveText& text, size_t from, size_t to);
    // Whether the needle found at `i` of `chars` is a match.
    bool Whole(std::u16string_view chars, size_t i) const;
    template <typename Found>
    void Scan(const ReceiveText& text, size_t from, size_t to, Found found);

    FindPattern m_pattern;
    size_t m_chunk;
    std::u16string m_buffer;
};
