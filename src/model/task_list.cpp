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

bool LocalNameHeld(const TaskList& tasks, const TDnObj& object, std::string_view name) {
    const TTask& own = *object.Task;
    if (own.LocalNames.heldByOther(own, object, name)) {
        return true;
    }
    // Tasks share a folder only with SaveSeparate off; there are few tasks, however many objects.
    for (const TTask& task : tasks) {
        if (&task != &own && task.Dir == own.Dir &&
            task.LocalNames.heldByOther(task, object, name)) {
            return true;
        }
    }
    return false;
}

}  // namespace quillharbor
