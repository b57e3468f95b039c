#include "model/download_queue.h"

#include <cassert>
#include <string>

namespace quillharbor {

void DownloadQueue::Enqueue(TDnObj& object) {
    assert(object.InList == GlobalList::None);
    const Protocol kind = UrlProtocol(object.URL);
    const std::string host = HostPart(object.URL);
    const QueueRun* last = m_tail != nullptr ? m_tail->Run : nullptr;
    if (last != nullptr && last->Task == object.Task && last->Kind == kind &&
        m_hosts.name(last->Host) == host) {
        object.Run = m_tail->Run;
    } else {
        object.Run = newRun(object, kind, m_hosts.intern(host));
    }
    object.Run->Last = &object;
    ++object.Run->Count;
    object.InList = GlobalList::Queue;
    object.QueueNext = nullptr;
    object.QueuePrev = m_tail;
    (m_tail != nullptr ? m_tail->QueueNext : m_head) = &object;
    m_tail = &object;
    ++m_size;
}

// Runs begin only at the tail, so each protocol's and each host's chain stays in queue order.
QueueRun* DownloadQueue::newRun(TDnObj& object, Protocol kind, HostTable::Id host) {
    RunChain& chain = m_runs[kindIndex(kind)];
    if (host >= m_hostRuns.size()) {
        m_hostRuns.resize(host + 1);
    }
    RunChain& ofHost = m_hostRuns[host];
    auto* run = new QueueRun{object.Task, kind,    host,       &object, nullptr,
                             0,           nullptr, chain.last, nullptr, ofHost.last};
    (chain.last != nullptr ? chain.last->NextOfKind : chain.first) = run;
    chain.last = run;
    (ofHost.last != nullptr ? ofHost.last->NextOfHost : ofHost.first) = run;
    ofHost.last = run;
    return run;
}

void DownloadQueue::freeRun(QueueRun* run) {
    RunChain& chain = m_runs[kindIndex(run->Kind)];
    (run->PrevOfKind != nullptr ? run->PrevOfKind->NextOfKind : chain.first) = run->NextOfKind;
    (run->NextOfKind != nullptr ? run->NextOfKind->PrevOfKind : chain.last) = run->PrevOfKind;
    RunChain& ofHost = m_hostRuns[run->Host];
    (run->PrevOfHost != nullptr ? run->PrevOfHost->NextOfHost : ofHost.first) = run->NextOfHost;
    (run->NextOfHost != nullptr ? run->NextOfHost->PrevOfHost : ofHost.last) = run->PrevOfHost;
    delete run;
}

TDnObj* DownloadQueue::QueuePop() {
    TDnObj* head = m_head;
    if (head != nullptr) {
        QueueRemove(*head);
    }
    return head;
}

void DownloadQueue::QueueRemove(TDnObj& object) {
    assert(object.InList == GlobalList::Queue);
    // The rest of the run stays contiguous: objects join only at the tail.
    QueueRun* run = object.Run;
    if (--run->Count == 0) {
        freeRun(run);
    } else if (run->Last == &object) {
        run->Last = object.QueuePrev;
    } else if (run->First == &object) {
        run->First = object.QueueNext;
    }
    object.Run = nullptr;
    (object.QueuePrev != nullptr ? object.QueuePrev->QueueNext : m_head) = object.QueueNext;
    (object.QueueNext != nullptr ? object.QueueNext->QueuePrev : m_tail) = object.QueuePrev;
    object.QueueNext = nullptr;
    object.QueuePrev = nullptr;
    object.InList = GlobalList::None;
    --m_size;
}

void DownloadQueue::clear() {
    while (m_head != nullptr) {
        QueueRemove(*m_head);
    }
}

}  // namespace quillharbor
