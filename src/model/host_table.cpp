#include "model/host_table.h"

#include <algorithm>

namespace quillharbor {

HostTable::Id HostTable::intern(std::string_view host) {
    const auto [place, added] =
        m_ids.try_emplace(std::string(host), static_cast<Id>(m_entries.size()));
    if (added) {
        m_entries.push_back(Entry{place->first});
    }
    return place->second;
}

std::optional<HostTable::Id> HostTable::find(std::string_view host) const {
    const auto found = m_ids.find(host);
    if (found == m_ids.end()) {
        return std::nullopt;
    }
    return found->second;
}

void HostTable::holdUntil(Id id, Clock::time_point until) {
    Entry& entry = m_entries[id];
    if (until <= entry.heldUntil) {
        return;
    }
    if (std::find(m_held.begin(), m_held.end(), id) == m_held.end()) {
        m_held.push_back(id);
    }
    entry.heldUntil = until;
}

std::vector<std::pair<HostTable::Id, HostTable::Clock::time_point>> HostTable::heldHosts(
    Clock::time_point now) {
    std::erase_if(m_held, [&](Id id) { return m_entries[id].heldUntil <= now; });
    std::vector<std::pair<Id, Clock::time_point>> held;
    for (const Id id : m_held) {
        held.emplace_back(id, m_entries[id].heldUntil);
    }
    std::sort(held.begin(), held.end(),
              [](const auto& a, const auto& b) { return a.second > b.second; });
    return held;
}

}  // namespace quillharbor
