#include "engine/task_loader.h"

#include <cstdint>
#include <unordered_set>
#include <utility>

#include "engine/retrieved_copy.h"
#include "engine/robots_gate.h"
#include "model/link_admission.h"
#include "net/http_status.h"
#include "parser/url_helpers.h"
#include "platform/files.h"
#include "storage/grab_options_file.h"
#include "storage/task_file.h"

namespace quillharbor {

namespace {

constexpr std::int32_t kNotFound = 404;

}  // namespace

void TaskLoader::LoadAllTasks() {
    if (m_loaded) {
        return;
    }
    m_loaded = true;
    EngineState& state = m_context.state;
    EngineView& view = m_context.services.view;
    LoadedTaskFiles files = readAllTaskFiles(m_context.programDir, m_context.global);
    std::unordered_set<const TTask*> loaded;
    for (std::unique_ptr<TTask>& task : files.tasks) {
        // New names are refused while their file exists, so the task already listed wrote it.
        if (state.TaskList.TaskFind(task->Name) == nullptr) {
            loaded.insert(&state.TaskList.TaskInsert(std::move(task)));
        }
    }
    // In name order: where two tasks hold one URL, the first one's object is the copy.
    for (TTask& task : state.TaskList) {
        if (!loaded.contains(&task)) {
            continue;
        }
        loadGrabOptions(task);
        RequeueLoadedTask(task);
        task.State = task.Queued > 0 ? TaskState::Stopped : TaskState::Finished;
        view.AddTaskRow(task);
    }
    view.UpdateCommands();
    // The tasks of these files are missing from the list; the user should know why.
    for (const Error& error : files.errors) {
        view.ShowNotification(error.text);
    }
}

void TaskLoader::loadGrabOptions(TTask& task) {
    Result<GrabOptions> options = readGrabOptions(grabOptionsPath(m_context.programDir, task.Name));
    Result<UrlFilter> filter =
        options ? UrlFilter::make(options.value().Include, options.value().Exclude)
                : Result<UrlFilter>(options.error());
    if (!filter) {
        m_context.services.view.ShowNotification(filter.error().text);
        return;
    }
    task.Grab = std::move(options).value();
    task.Filter = std::move(filter).value();
}

void TaskLoader::RequeueLoadedTask(TTask& task) {
    for (TDnObj& object : task.Objects) {
        switch (object.State) {
            case ObjectState::Queued:
            case ObjectState::RetrievedByOther:
                queueOrSettle(object);
                break;
            case ObjectState::Retrieved:
                retrievedOrUnscanned(object);
                break;
            case ObjectState::Excluded:
            case ObjectState::Done:
                settle(object);
                break;
            case ObjectState::Retrieving:
            case ObjectState::Incomplete:
                queue(object);
                break;
            default:
                // A redirect loop stays one: only the user's retry asks for it again.
                if (object.Status == kHttpTooManyRedirects) {
                    settle(object);
                } else {
                    requeueFailed(object);
                }
                break;
        }
    }
}

void TaskLoader::queueOrSettle(TDnObj& object) {
    if (std::optional<std::string> copy = copyToSettleOn(object)) {
        object.State = ObjectState::RetrievedByOther;
        object.Location = std::move(*copy);
        settle(object);
        return;
    }
    // The starting document is fetched before any rules, as at the task's creation.
    object.RobotsUnchecked = object.State == ObjectState::Queued &&
                             object.URL != object.Task->URL &&
                             RobotsGate(m_context).Applies(object);
    queue(object);
}

std::optional<std::string> TaskLoader::copyToSettleOn(const TDnObj& object) const {
    // The scheduler's duplicate rule (object_picker.h), so that nothing is settled here that a
    // running task would retrieve; whatever is queued instead is judged again when it is picked.
    const EngineState& state = m_context.state;
    const Protocol protocol = UrlProtocol(object.URL);
    if (state.AlwaysRetrieve || (protocol == Protocol::Ftp && state.ForceFTPRetrieve)) {
        return std::nullopt;
    }
    // Only retrieved or settled copies count: a URL that failed in one task stays queued in the
    // next instead of being settled on a file that was never saved.
    RetrievedCopy copy = findRetrievedCopy(state.SeenList, object.URL);
    if (copy.kind != RetrievedCopy::Kind::Found ||
        (protocol == Protocol::Http && ShouldParse(object))) {
        return std::nullopt;
    }
    return std::move(copy.path);
}

void TaskLoader::requeueFailed(TDnObj& object) {
    if (object.Status == kNotFound) {
        // The saved "not found" page is the object's result.
        if (!object.LocalName.empty() &&
            fileSize(object.Task->Dir + object.LocalName).valueOr(0) > 0) {
            settle(object);
            return;
        }
        object.Received = 0;
        queue(object);
        return;
    }
    // Nothing of the file is worth resuming; the slot replaces it when the object starts again,
    // and loading leaves it alone (even a look at the tasks must change nothing).
    object.Received = 0;
    queueOrSettle(object);
}

void TaskLoader::retrievedOrUnscanned(TDnObj& object) {
    // A page saved while it waited for its scan never had its links taken: fetched again, it is
    // scanned then.
    if (ShouldParse(object)) {
        queue(object);
    } else {
        settle(object);
    }
}

void TaskLoader::queue(TDnObj& object) {
    object.State = ObjectState::Queued;
    m_context.state.Queue.Enqueue(object);
}

void TaskLoader::settle(TDnObj& object) {
    m_context.state.SeenList.SeenInsert(object);
    --object.Task->Queued;
}

}  // namespace quillharbor
