#pragma once

#include <cstddef>
#include <vector>

#include "model/dn_obj.h"
#include "model/host_table.h"
#include "model/queue_run.h"

namespace quillharbor {

// The global first-in first-out download queue across all tasks, linked through
// QueueNext/QueuePrev. Every operation is O(1); it owns none of its objects. Beside the links it
// keeps each queued object's Run (queue_run.h), so that a walk for one protocol visits only that
// protocol's objects (firstOfKind, nextOfKind) and passes over the rest of a task's run in one
// step (pastRun), in queue order. A run holds one host's objects, so that a walk passes over a
// host that may take no more slots in one step too; the queue keeps the table of those hosts
// (hosts()), and chains each host's runs, so that a walk for one host visits only its objects
// (firstOfHost, nextOfHost, pastRunOfHost). An object's URL stays as it is while it is queued.
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

    // The first queued object of the protocol; nullptr when there is none.
    TDnObj* firstOfKind(Protocol kind) const { return firstOf(m_runs[kindIndex(kind)].first); }
    // The next queued object of the protocol of object, which must be queued; nullptr at the end.
    static TDnObj* nextOfKind(const TDnObj& object) { return next(object, object.Run->NextOfKind); }
    // The first object of the protocol of object after object's run; nullptr at the end.
    static TDnObj* pastRun(const TDnObj& object) { return firstOf(object.Run->NextOfKind); }

    // The same for the objects of one host.
    TDnObj* firstOfHost(HostTable::Id host) const {
        return host < m_hostRuns.size() ? firstOf(m_hostRuns[host].first) : nullptr;
    }
    static TDnObj* nextOfHost(const TDnObj& object) { return next(object, object.Run->NextOfHost); }
    static TDnObj* pastRunOfHost(const TDnObj& object) { return firstOf(object.Run->NextOfHost); }

    HostTable& hosts() { return m_hosts; }
    const HostTable& hosts() const { return m_hosts; }

    TDnObj* head() const { return m_head; }
    TDnObj* tail() const { return m_tail; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

private:
    struct RunChain {
        QueueRun* first = nullptr;
        QueueRun* last = nullptr;
    };
    static TDnObj* firstOf(const QueueRun* run) { return run != nullptr ? run->First : nullptr; }
    // The object after object in its run, or else the first of nextRun.
    static TDnObj* next(const TDnObj& object, const QueueRun* nextRun) {
        return &object == object.Run->Last ? firstOf(nextRun) : object.QueueNext;
    }
    static std::size_t kindIndex(Protocol kind) {
        return kind == Protocol::Http ? 0 : kind == Protocol::Ftp ? 1 : 2;
    }
    QueueRun* newRun(TDnObj& object, Protocol kind, HostTable::Id host);
    void freeRun(QueueRun* run);

    HostTable m_hosts;
    RunChain m_runs[3];
    std::vector<RunChain> m_hostRuns;  // by host id
    TDnObj* m_head = nullptr;
    TDnObj* m_tail = nullptr;
    std::size_t m_size = 0;
};

}  // namespace quillharbor
