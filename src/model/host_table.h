#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillharbor {

// The hosts of the queued objects (HostPart: scheme, host and port, as robots.txt counts them),
// each with what keeps the grab polite toward it: how many slots serve it at this moment, and
// until when it is held back after it answered 429 or 503 with Retry-After. An id is given at a
// host's first sight and names it for the rest of the run; the table grows with the hosts met,
// never with the objects. Loop's thread only.
class HostTable {
public:
    using Id = std::uint32_t;
    using Clock = std::chrono::steady_clock;

    Id intern(std::string_view host);
    // The id of a host met before; none for a host never met.
    std::optional<Id> find(std::string_view host) const;
    const std::string& name(Id id) const { return m_entries[id].name; }

    // Whether one more slot may start an object of the host at now: it is not held back and
    // fewer than cap slots serve it (cap 0: no cap).
    bool admits(Id id, Clock::time_point now, unsigned cap) const {
        const Entry& entry = m_entries[id];
        return now >= entry.heldUntil && (cap == 0 || entry.busy < cap);
    }
    void slotStarted(Id id) { ++m_entries[id].busy; }
    void slotFreed(Id id) { --m_entries[id].busy; }
    unsigned busy(Id id) const { return m_entries[id].busy; }

    // When the host's hold ends (or ended); the clock's epoch when it never had one.
    Clock::time_point heldUntil(Id id) const { return m_entries[id].heldUntil; }
    // Holds the host back until then; a hold that ends later stays as it is.
    void holdUntil(Id id, Clock::time_point until);
    // The hosts held back at now, with the end of each hold, longest held first; the holds that
    // are over are forgotten. Costs the number of hosts held, not of hosts met.
    std::vector<std::pair<Id, Clock::time_point>> heldHosts(Clock::time_point now);

    // Counts a 429 or 503 answer with Retry-After to the object (its identity); returns how many
    // it had before this one.
    unsigned countBusyAnswer(std::uintptr_t object) { return m_busyAnswers[object]++; }

private:
    struct Entry {
        std::string name;
        unsigned busy = 0;
        Clock::time_point heldUntil{};
    };

    std::vector<Entry> m_entries;
    // Looked up by string_view without making a string.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };
    std::unordered_map<std::string, Id, NameHash, std::equal_to<>> m_ids;
    std::vector<Id> m_held;  // ids whose hold may still run
    std::unordered_map<std::uintptr_t, unsigned> m_busyAnswers;
};

}  // namespace quillharbor
