#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "model/grab_options.h"
#include "model/local_name_index.h"
#include "model/task_flag.h"
#include "model/task_object_list.h"
#include "model/task_state.h"

namespace quillharbor {

// The scheduler ticks every 200 ms; start delays and time-outs are counted in its ticks.
inline constexpr std::int32_t kTicksPerMinute = 300;

// One download job started from one URL. The task list owns it; it owns its objects.
struct TTask {
    TTask() = default;
    TTask(const TTask&) = delete;
    TTask& operator=(const TTask&) = delete;

    std::string URL;  // absolute, with scheme
    std::string StartDocName;
    // Key of the task list, fixed while the task is in it; also the task file's name.
    std::string Name;
    std::string Dir;             // ends with "/"; an object's local path is Dir + LocalName
    std::string BoundaryPrefix;  // links must begin with it; empty means anywhere
    std::string Extensions;      // " .gif .jpg " style; empty accepts every file
    std::string FtpPassword;
    std::string FtpUser;
    std::int32_t MaxLevels = 0;  // 0 unlimited
    std::int32_t Queued = 0;     // objects not finished for good
    std::int32_t MaxFiles = 0;   // 0 unlimited
    std::int32_t Total = 0;      // objects created
    std::int32_t Flags = 0;      // TaskFlag bits
    TaskState State = TaskState::Running;
    TaskObjectList Objects;
    // Who holds which name in Dir: kept by SetLocalName, asked through LocalNameHeld (task_list.h).
    LocalNameIndex LocalNames;
    // Owned by the task list.
    TTask* Next = nullptr;
    TTask* Prev = nullptr;
    std::int32_t StartCountdown = 0;  // 200 ms ticks before a waiting task starts

    // Given by the task list on insertion, never reused; 0 while the task is in no list.
    std::uint32_t Serial = 0;

    // The user's options for this task alone, their compiled filter and the pace of its reads.
    GrabOptions Grab;
    UrlFilter Filter;
    ReadPace Pace;
};

// A task with these fields, its FTP login taken from the given defaults, counters and state 0
// and no objects. It is linked nowhere.
std::unique_ptr<TTask> NewTask(std::string name, std::string url, std::string dir,
                               std::int32_t maxFiles, std::string boundaryPrefix,
                               std::int32_t maxLevels, std::int32_t flags,
                               std::string defaultFtpUser, std::string defaultFtpPassword);

// The task's object for the document url names: its first object with that URL, else with the
// URL's SchemeTwin (http and https of one host and path are one document); nullptr when none.
TDnObj* TaskFindDocument(const TTask& task, std::string_view url);

// Creates the task's object for url at level: state Queued, counted in Queued and Total, in the
// task's object list but in no queue. nullptr when the task already holds the document
// (TaskFindDocument).
TDnObj* NewDnObj(TTask& task, std::string url, std::int32_t level);
// As NewDnObj, but also when the task already holds url: the new object goes behind the ones
// with that URL, so TaskFindObj still finds the first.
TDnObj& AddDnObj(TTask& task, std::string url, std::int32_t level);

// object.LocalName := name, noted in its task's index of names.
void SetLocalName(TDnObj& object, std::string name);

bool TaskHasFlag(const TTask& task, TaskFlag flag);
void TaskSetFlag(TTask& task, TaskFlag flag);
void TaskClearFlag(TTask& task, TaskFlag flag);

}  // namespace quillharbor
