#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "send/command_file.h"

// The last sends, newest first: a send equal to the newest is not kept again, and the
// oldest goes when there are more than kSize. Entries have no name.
// It is also stepped through from the send area, as a shell recalls commands: Older() from
// the newest on, Newer() back down to what was in the area before the first step. Any
// change of the entries starts the steps again from the area.
class SendHistory {
public:
    static constexpr size_t kSize = 50;

    void Add(SavedCommand sent);
    // Entries as a file holds them (newest first), cut to kSize.
    void Set(std::vector<SavedCommand> entries);
    void Clear();
    const std::vector<SavedCommand>& Entries() const { return m_entries; }

    // The entry one step older, with `shown` (the area now) kept when the steps leave the
    // area; none past the oldest.
    std::optional<SavedCommand> Older(const SavedCommand& shown);
    // The entry one step newer, or the area as it was; none when no step was taken.
    std::optional<SavedCommand> Newer();

private:
    std::vector<SavedCommand> m_entries;
    size_t m_steps = 0;  // 0: the area's own text is shown, n: entry n - 1
    SavedCommand m_area;
};
