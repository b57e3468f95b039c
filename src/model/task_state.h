#pragma once

#include <cstdint>

namespace quillharbor {

// The numbers are stored in task files and shown by the main window, so they never change.
enum class TaskState : std::int32_t {
    Running = 0,  // its queued objects are dispatched
    Stopped = 1,  // nothing is dispatched; it may still hold queued objects
    Aborted = 2,
    RewritePending = 5,  // finished; the links of its saved HTML are still to be rewritten
    Finished = 6,        // also the state of a task being removed
    Waiting = 7,         // waiting for its start time (StartCountdown > 0)
};

}  // namespace quillharbor
