#include "send/send_history.h"

#include <utility>

void SendHistory::Add(SavedCommand sent) {
    sent.name.clear();
    if (!m_entries.empty() && m_entries.front() == sent) return;
    m_entries.insert(m_entries.begin(), std::move(sent));
    if (m_entries.size() > kSize) m_entries.pop_back();
    m_steps = 0;
}

void SendHistory::Set(std::vector<SavedCommand> entries) {
    m_entries = std::move(entries);
    if (m_entries.size() > kSize) m_entries.resize(kSize);
    m_steps = 0;
}

void SendHistory::Clear() {
    m_entries.clear();
    m_steps = 0;
}

std::optional<SavedCommand> SendHistory::Older(const SavedCommand& shown) {
    if (m_steps >= m_entries.size()) return std::nullopt;
    if (m_steps == 0) m_area = shown;
    return m_entries[m_steps++];
}

std::optional<SavedCommand> SendHistory::Newer() {
    if (m_steps == 0) return std::nullopt;
    --m_steps;
    return m_steps == 0 ? m_area : m_entries[m_steps - 1];
}
