#include "model/download_queue.h"

#include <cassert>

namespace quillharbor {

void DownloadQueue::Enqueue(TDnObj& object) {
    assert(object.InList == GlobalList::None);
    if (m_tail != nullptr && m_tail->Run->Task == object.Task) {
        object.Run = m_tail->Run;
    } else {
        object.Run = new QueueRun{object.Task, nullptr, 0};
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
        delete run;
    } else if (run->Last == &object) {
        run->Last = object.QueuePrev;
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
