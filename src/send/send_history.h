#pragma once

#include <cstddef>
#include <vector>

#include "send/command_file.h"

// The last sends, newest first: a send equal to the newest is not kept again, and the
// oldest goes when there are more than kSize. Entries have no name.
class SendHistory {
public:
    static constexpr size_t kSize = 50;

    void Add(SavedCommand sent);
    // Entries as a file holds them (newest first), cut to kSize.
    void Set(std::vector<SavedCommand> entries);
    void Clear() { m_entries.clear(); }
    const std::vector<SavedCommand>& Entries() const { return m_entries; }

private:
    std::vector<SavedCommand> m_entries;
};
