#include "engine/object_commands.h"

#include <algorithm>
#include <vector>

#include "engine/slot_holders.h"

namespace quillharbor {

namespace {

constexpr std::int32_t kNotFound = 404;

bool failed(ObjectState state) {
    return state == ObjectState::ProtocolError || state == ObjectState::Failed ||
           state == ObjectState::Incomplete || state == ObjectState::Removed;
}

}  // namespace

void ObjectCommands::RetryFailedLinks() {
    EngineView& view = m_context.services.view;
    const std::vector<TTask*> tasks = view.SelectedTasks();
    if (!tasks.empty()) {
        for (TTask* task : tasks) {
            retryTask(*task, false);
        }
    } else if (const std::vector<TDnObj*> saved = view.SelectedObjects(ObjectListPage::Saved);
               !saved.empty()) {
        retryTask(*saved.front()->Task, true);
    }
    refresh();
}

void ObjectCommands::StartSelectedObjects() {
    TTask* last = nullptr;
    for (TDnObj* object : m_context.services.view.SelectedObjects(ObjectListPage::Saved)) {
        if (requeue(*object, ObjectState::Queued)) {
            last = object->Task;
        }
    }
    if (last != nullptr) {
        last->State = TaskState::Running;
        m_context.services.view.ShowTaskCounters(*last);
    }
    refresh();
}

void ObjectCommands::StopSelectedObjects() {
    const auto abort = [](TransferSlot& slot) { slot.abort(); };
    for (TDnObj* object : m_context.services.view.SelectedObjects(ObjectListPage::BeingRetrieved)) {
        forSlotsHolding(m_context.state.HttpSlots, *object, abort);
        forSlotsHolding(m_context.state.FtpSlots, *object, abort);
    }
}

void ObjectCommands::RemoveSelectedFromQueue() {
    EngineState& state = m_context.state;
    EngineView& view = m_context.services.view;
    std::vector<TTask*> touched;
    for (TDnObj* object : view.SelectedObjects(ObjectListPage::Queued)) {
        if (object->InList != GlobalList::Queue) {
            continue;
        }
        state.Queue.QueueRemove(*object);
        --object->Task->Queued;
        state.SeenList.SeenInsert(*object);
        object->State = ObjectState::Removed;
        view.RefreshObjectRow(*object);
        if (std::find(touched.begin(), touched.end(), object->Task) == touched.end()) {
            touched.push_back(object->Task);
        }
    }
    // Every task that lost its last queued object ends here, or it would run on with nothing
    // left to end it.
    for (TTask* task : touched) {
        if (task->Queued == 0) {
            task->State = TaskState::Finished;
        }
        view.ShowTaskCounters(*task);
    }
    refresh();
}

bool ObjectCommands::requeue(TDnObj& object, ObjectState state) {
    EngineState& engine = m_context.state;
    if (object.InList == GlobalList::Queue || object.State == ObjectState::RobotsRequest ||
        heldBySlot(engine, object)) {
        return false;
    }
    if (object.InList == GlobalList::Seen) {
        engine.SeenList.SeenRemove(object);
    }
    object.State = state;
    engine.Queue.Enqueue(object);
    ++object.Task->Queued;
    m_context.services.view.RefreshObjectRow(object);
    return true;
}

void ObjectCommands::retryTask(TTask& task, bool skipNotFound) {
    for (TDnObj& object : task.Objects) {
        if (!failed(object.State) || (skipNotFound && object.Status == kNotFound)) {
            continue;
        }
        const bool resumes = skipNotFound && object.State == ObjectState::Incomplete;
        requeue(object, resumes ? ObjectState::Incomplete : ObjectState::Queued);
    }
    if (task.Queued > 0) {
        task.State = TaskState::Running;
    }
    m_context.services.view.ShowTaskCounters(task);
}

void ObjectCommands::refresh() {
    m_context.services.view.RefreshTaskIcons();
    m_context.services.view.UpdateCommands();
}

}  // namespace quillharbor
