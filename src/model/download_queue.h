#pragma once

#include <cstddef>

#include "model/dn_obj.h"
#include "model/queue_run.h"

namespace quillharbor {

// The global first-in first-out download queue across all tasks, linked through
// QueueNext/QueuePrev. Every operation is O(1); it owns none of its objects. Beside the links it
// keeps each queued object's Run (queue_run.h), so that a walk can pass over the rest of a task's
// neighbouring objects in one step: pastRun(object).
class DownloadQueue {
public:
    DownloadQueue() = default;
    DownloadQueue(const DownloadQueue&) = delete;
    DownloadQueue& operator=(const DownloadQueue&) = delete;
    ~DownloadQueue() { clear(); }

    // Appends at the tail; the object must be in no global list.
    void Enqueue(TDnObj& object);
    // Takes the head out and returns it; nullptr when the queue is empty.
    TDnObj* QueuePop();
    // Takes out an object that is in the queue, wherever it stands.
    void QueueRemove(TDnObj& object);
    void clear();

    // The first object after the run of object, which must be queued; nullptr at the end.
    static TDnObj* pastRun(const TDnObj& object) { return object.Run->Last->QueueNext; }

    TDnObj* head() const { return m_head; }
    TDnObj* tail() const { return m_tail; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

private:
    TDnObj* m_head = nullptr;
    TDnObj* m_tail = nullptr;
    std::size_t m_size = 0;
};

}  // namespace quillharbor
