#include "receive/find_session.h"

#include <algorithm>

FindSession::FindSession(FindPattern pattern, unsigned sliceBits)
    : m_slice(size_t{1} << sliceBits), m_mark(m_slice << 4), m_finder(std::move(pattern), m_slice) {}

void FindSession::Seek(const ReceiveText& text, size_t from, bool forward) {
    m_seek = SeekState{text, from, forward};
    m_found.reset();
}

bool FindSession::Step(const ReceiveText& text, Clock::time_point deadline) {
    if (m_seek && !text.Extends(m_seek->text)) m_seek = SeekState{text, m_seek->from, m_seek->forward};
    if (!text.Extends(m_counted)) {  // edited or cleared: what was counted and found is gone
        m_countedTo = m_count = 0;
        m_marks = {0};
        m_found.reset();
    }
    m_counted = text;
    do {
        if (m_seek) {
            SeekSlice();
        } else if (!Counted()) {
            CountSlice();
        } else {
            return false;
        }
    } while (Clock::now() < deadline);
    return m_seek || !Counted();
}

void FindSession::SeekSlice() {
    // The starts in the order they are searched, in two runs: from `from` to the end and
    // round from the start (forward), or down from `from` and round from the end (backward).
    SeekState& s = *m_seek;
    const size_t limit = m_finder.Limit(s.text);
    const size_t from = std::min(s.from, limit);
    const size_t firstRun = s.forward ? limit - from : from;
    const bool inFirst = s.done < firstRun;
    const size_t n = std::min(m_slice, (inFirst ? firstRun : limit) - s.done);
    size_t found = TextFinder::npos;
    if (s.forward) {
        const size_t at = inFirst ? from + s.done : s.done - firstRun;
        found = m_finder.First(s.text, at, at + n);
    } else {
        const size_t end = inFirst ? from - s.done : limit - (s.done - firstRun);
        found = m_finder.Last(s.text, end - n, end);
    }
    s.done += n;
    if (found == TextFinder::npos && s.done < limit) return;
    if (found != TextFinder::npos) m_found = found;
    m_seek.reset();
}

void FindSession::CountSlice() {
    const size_t next = (m_countedTo / m_mark + 1) * m_mark;
    const size_t end = std::min({m_finder.Limit(m_counted), m_countedTo + m_slice, next});
    m_count += m_finder.Count(m_counted, m_countedTo, end);
    m_countedTo = end;
    if (end == next) m_marks.push_back(m_count);
}

std::optional<uint64_t> FindSession::Number(size_t pos) {
    if (pos >= m_countedTo) return std::nullopt;
    const size_t mark = pos / m_mark;
    return m_marks[mark] + m_finder.Count(m_counted, mark * m_mark, pos) + 1;
}
