#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "receive/receive_document.h"
#include "receive/text_finder.h"

// One find over the receive text while data keeps arriving, done in slices that the window
// thread runs between its events, so the window never waits for a search of 100 MB. The
// store is the window thread's alone and grows in place; slices read it there, between
// appends, which keeps a search simple and exact: no copy, no lock. Each step reads the
// area's text anew. Text appended since is searched and counted as it comes; an edit or a
// cleared area starts both again. Window thread only.
class FindSession {
public:
    using Clock = std::chrono::steady_clock;
    // A slice searches 2^sliceBits starts (tests ask for small ones).
    explicit FindSession(FindPattern pattern, unsigned sliceBits = 16);

    // Looks for the first match at or after `from` (forward) or the last one before it,
    // going round the text's end once.
    void Seek(const ReceiveText& text, size_t from, bool forward);
    // Works on the seek, then on the count of `text`, until `deadline`, but at least one
    // slice. Returns whether work remains.
    bool Step(const ReceiveText& text, Clock::time_point deadline);

    bool Seeking() const { return m_seek.has_value(); }
    // Where the last finished seek found its match, in the text of the last step.
    std::optional<size_t> Found() const { return m_found; }
    size_t Length() const { return m_finder.Pattern().Length(); }
    bool Counted() const { return m_countedTo == m_finder.Limit(m_counted); }
    uint64_t Count() const { return m_count; }
    // Which match, from 1, starts at `pos`, once the count has passed it.
    std::optional<uint64_t> Number(size_t pos);

private:
    struct SeekState {
        ReceiveText text;
        size_t from;
        bool forward;
        size_t done = 0;  // characters of the text searched
    };
    void SeekSlice();
    void CountSlice();

    size_t m_slice;
    // Counts are kept every 16 slices, so a match's number is one short scan away.
    size_t m_mark;
    TextFinder m_finder;
    std::optional<SeekState> m_seek;
    std::optional<size_t> m_found;
    ReceiveText m_counted;
    size_t m_countedTo = 0;
    uint64_t m_count = 0;
    std::vector<uint64_t> m_marks{0};  // matches before k marks
};
