#include "platform/timer_queue.h"

#include <algorithm>

namespace quillharbor {

unsigned TimerQueue::start(Handle target, std::chrono::milliseconds period, Clock::time_point now) {
    do {
        ++m_lastId;
    } while (m_lastId == 0 || m_timers.contains(m_lastId));
    const Clock::duration step = std::max(period, std::chrono::milliseconds(1));
    m_timers.emplace(m_lastId, Timer{target, step, now + step, false});
    m_deadlines.emplace(now + step, m_lastId);
    return m_lastId;
}

void TimerQueue::stop(unsigned id) {
    const auto found = m_timers.find(id);
    if (found == m_timers.end()) {
        return;
    }
    m_deadlines.erase({found->second.deadline, id});
    m_timers.erase(found);
}

void TimerQueue::stopAllOf(Handle target) {
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->second.target == target) {
            m_deadlines.erase({it->second.deadline, it->first});
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

std::optional<TimerQueue::Clock::time_point> TimerQueue::nextDeadline() const {
    if (m_deadlines.empty()) {
        return std::nullopt;
    }
    return m_deadlines.begin()->first;
}

std::vector<unsigned> TimerQueue::takeDue(Clock::time_point now) {
    std::vector<unsigned> due;
    while (!m_deadlines.empty() && m_deadlines.begin()->first <= now) {
        const unsigned id = m_deadlines.begin()->second;
        m_deadlines.erase(m_deadlines.begin());
        Timer& timer = m_timers.at(id);
        const auto missed = (now - timer.deadline) / timer.period;
        timer.deadline += (missed + 1) * timer.period;
        m_deadlines.emplace(timer.deadline, id);
        due.push_back(id);
    }
    return due;
}

std::optional<Handle> TimerQueue::beginTick(unsigned id) {
    const auto found = m_timers.find(id);
    if (found == m_timers.end() || found->second.ticking) {
        return std::nullopt;
    }
    found->second.ticking = true;
    return found->second.target;
}

void TimerQueue::endTick(unsigned id) {
    const auto found = m_timers.find(id);
    if (found != m_timers.end()) {
        found->second.ticking = false;
    }
}

}  // namespace quillharbor
