#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "model/sorted_list.h"
#include "model/task.h"

namespace quillharbor {

// The engine's tasks: owned here, ordered by Name through Next/Prev (equal names in insertion
// order), and indexed by serial so that a message naming a task finds it, or finds it gone.
//
// A task leaves this list (TaskRemove, FreeTaskList) only after its objects have been taken out
// of the queue and the seen list.
class TaskList {
public:
    using Sorted = SortedList<TTask, &TTask::Name, &TTask::Next, &TTask::Prev>;

    TaskList() = default;
    TaskList(const TaskList&) = delete;
    TaskList& operator=(const TaskList&) = delete;

    // Takes the task and gives it a serial that no other task of this list ever had.
    TTask& TaskInsert(std::unique_ptr<TTask> task);
    // The first task with exactly this name, or nullptr.
    TTask* TaskFind(std::string_view name) const { return m_sorted.find(name); }
    // Unlinks a task of this list and hands it back; dropping the result frees it with its
    // objects. The task's serial is cleared, so its identity no longer resolves.
    std::unique_ptr<TTask> TaskRemove(TTask& task);
    void FreeTaskList();

    TTask* bySerial(std::uint32_t serial) const;

    TTask* head() const { return m_sorted.head(); }
    std::size_t size() const { return m_sorted.size(); }
    bool empty() const { return m_sorted.empty(); }
    Sorted::Iterator begin() const { return m_sorted.begin(); }
    Sorted::Iterator end() const { return m_sorted.end(); }

private:
    // Declared first so that the sorted links are cleared while the tasks still live.
    std::unordered_map<std::uint32_t, std::unique_ptr<TTask>> m_bySerial;
    Sorted m_sorted;
    std::uint32_t m_lastSerial = 0;
};

// Whether an object other than object holds name in object's Dir: one of its own task, or one of
// another task of tasks that saves into the same Dir.
bool LocalNameHeld(const TaskList& tasks, const TDnObj& object, std::string_view name);

}  // namespace quillharbor
