#pragma once

#include <cstddef>

#include "model/dn_obj.h"

namespace quillharbor {

// Neighbouring objects of one task in the download queue. A walk that passes over a task's
// objects jumps from any of them to the one after Last, so the objects of a stopped task at the
// head of the queue cost one step per run, not one per object. The queue owns its runs.
struct QueueRun {
    TTask* Task = nullptr;
    TDnObj* Last = nullptr;
    std::size_t Count = 0;
};

}  // namespace quillharbor
