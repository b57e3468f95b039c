#pragma once

#include <csignal>

namespace quillharbor {

// Turns SIGINT and SIGTERM into a flag that the run loop polls between its steps (the scheduler's
// timer wakes the loop every 200 ms, so a signal is seen within one tick). The handler only
// stores to a sig_atomic_t, which is all a handler may safely do. One instance at a time; the
// previous handlers come back when it is destroyed.
class InterruptSignal {
public:
    InterruptSignal();
    ~InterruptSignal();
    InterruptSignal(const InterruptSignal&) = delete;
    InterruptSignal& operator=(const InterruptSignal&) = delete;

    bool raised() const;

private:
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
};

}  // namespace quillharbor
