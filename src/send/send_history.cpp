#include "send/send_history.h"

#include <utility>

void SendHistory::Add(SavedCommand sent) {
    sent.name.clear();
    if (!m_entries.empty() && m_entries.front() == sent) return;
    m_entries.insert(m_entries.begin(), std::move(sent));
    if (m_entries.size() > kSize) m_entries.pop_back();
}

void SendHistory::Set(std::vector<SavedCommand> entries) {
    m_entries = std::move(entries);
    if (m_entries.size() > kSize) m_entries.resize(kSize);
}
