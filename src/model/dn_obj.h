#pragma once

#include <cassert>
#include <cstdint>
#include <string>

#include "model/object_state.h"

namespace quillharbor {

struct TTask;
struct QueueRun;

// The global list an object is linked into through QueueNext/QueuePrev; at most one at a time.
enum class GlobalList : std::uint8_t {
    None,
    Queue,
    Seen,
    Wait,  // the robots wait list: its host's robots.txt is not answered yet
};

// One URL of a task. Its task owns it from creation until the task is freed; everything else
// holds it without owning it, and messages name it by its identity (message_identity.h).
// Byte counts are 64-bit so that files over 2 GiB are counted right. A task may hold millions:
// fields are grouped by size (strings, pointers, 64-bit, 32-bit, bytes) so that the record has
// no padding holes; a new field goes to the end of its group.
struct TDnObj {
    TDnObj() = default;
    TDnObj(const TDnObj&) = delete;
    TDnObj& operator=(const TDnObj&) = delete;
    // An object is taken out of the queue and the seen list before it is freed.
    ~TDnObj() { assert(InList == GlobalList::None); }

    // Key of the task's object list and of the seen list: fixed while the object is in either.
    std::string URL;
    // The new location of a redirect; for an object already retrieved by another task, the local
    // path of that task's copy.
    std::string Location;
    std::string Referrer;
    std::string LocalName;  // file name inside the task's Dir; empty until writing starts
    std::string ContentType;

    TTask* Task = nullptr;
    // Owned by the queue or the seen list that holds the object (InList says which).
    TDnObj* QueueNext = nullptr;
    TDnObj* QueuePrev = nullptr;
    // Owned by the task's object list.
    TDnObj* TaskNext = nullptr;
    TDnObj* TaskPrev = nullptr;
    void* ListItem = nullptr;  // the view's row for the object; the engine never reads it
    // While queued: the run of neighbouring queued objects of the same task it belongs to.
    QueueRun* Run = nullptr;

    std::int64_t Received = 0;  // bytes present in the local file: the resume offset
    std::int64_t Size = 0;      // expected total size; 0 or less is unknown

    std::int32_t Status = 0;  // result code of the last transfer, 0 none
    ObjectState State = ObjectState::Queued;
    std::int32_t Level = 0;     // 1 for the starting document
    std::int32_t Icon = -1;     // file-type icon index of the view; -1 not chosen yet
    std::int32_t Cause = 0;     // what Status does not tell (failure_cause.h); not stored
    std::int32_t Retried = 0;   // 1 once put back into the queue after a network failure
    std::uint32_t Ordinal = 0;  // place in its task's creation order, part of its identity

    GlobalList InList = GlobalList::None;
    // Queued from a task file, where a link that waited for its host's robots.txt is stored like
    // any other: the picker has the robots gate look at it first. Not stored.
    bool RobotsUnchecked = false;
};

}  // namespace quillharbor
