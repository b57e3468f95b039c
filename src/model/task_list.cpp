#include "model/task_list.h"

#include <cassert>
#include <utility>

namespace quillharbor {

TTask& TaskList::TaskInsert(std::unique_ptr<TTask> task) {
    assert(task->Serial == 0);
    TTask& inserted = *task;
    inserted.Serial = ++m_lastSerial;
    m_bySerial.emplace(inserted.Serial, std::move(task));
    m_sorted.insert(inserted);
    return inserted;
}

std::unique_ptr<TTask> TaskList::TaskRemove(TTask& task) {
    auto owned = m_bySerial.extract(task.Serial);
    assert(!owned.empty());
    m_sorted.remove(task);
    task.Serial = 0;
    return std::move(owned.mapped());
}

void TaskList::FreeTaskList() {
    m_sorted.clear();
    m_bySerial.clear();
}

TTask* TaskList::bySerial(std::uint32_t serial) const {
    auto found = m_bySerial.find(serial);
    return found == m_bySerial.end() ? nullptr : found->second.get();
}

}  // namespace quillharbor
