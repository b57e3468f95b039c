#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "platform/message.h"

namespace quillharbor {

// The periodic timers of one message loop, ordered by deadline. Time is passed in, so the
// queue itself never reads a clock.
//
// Deadlines stay on the grid start + k * period, so lateness never accumulates; a timer that
// missed several periods is due once, and its next deadline is the first grid point after now.
// A timer whose tick is still being handled (beginTick without endTick) skips the ticks that
// fall due meanwhile instead of re-entering its handler.
class TimerQueue {
public:
    using Clock = std::chrono::steady_clock;

    // Periods shorter than 1 ms are taken as 1 ms. Returns an id that is never 0 and is not
    // reused while the timer lives.
    unsigned start(Handle target, std::chrono::milliseconds period, Clock::time_point now);
    // Unknown or already stopped ids are ignored.
    void stop(unsigned id);
    void stopAllOf(Handle target);

    std::optional<Clock::time_point> nextDeadline() const;
    // Ids of the timers due at now, earliest deadline first; their deadlines move on.
    std::vector<unsigned> takeDue(Clock::time_point now);

    // The target to tick, or nothing when the timer was stopped or its previous tick is still
    // running. Every successful beginTick needs an endTick.
    std::optional<Handle> beginTick(unsigned id);
    void endTick(unsigned id);

    std::size_t size() const { return m_timers.size(); }

private:
    struct Timer {
        Handle target;
        Clock::duration period;
        Clock::time_point deadline;
        bool ticking;
    };

    std::map<unsigned, Timer> m_timers;
    std::set<std::pair<Clock::time_point, unsigned>> m_deadlines;
    unsigned m_lastId = 0;
};

}  // namespace quillharbor
