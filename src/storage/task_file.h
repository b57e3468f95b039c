#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/task.h"
#include "model/task_list.h"
#include "platform/result.h"
#include "storage/global_options.h"

namespace quillharbor {

// Task files: one per task, programDir + Name + ".tsf", so that tasks and the state of all their
// objects survive a restart. A file is a three-line header, the task's fields one per line, then
// one group of lines per object (robots.txt requests are never stored). Lines are written with
// CR LF and read with CR LF or LF; numbers are plain decimal; line breaks and backslashes inside
// values are escaped (task_file_value.h). programDir ends with "/". Main thread only: the
// functions read the records without a lock.

std::string taskFilePath(const std::string& programDir, const std::string& taskName);

// The whole text of the task's file.
std::string composeTaskFile(const TTask& task);

// Writes the task's file whole, replacing the previous one atomically: a failed write leaves the
// old file as it was. The text goes to the file as it is composed, never whole in memory.
Status WriteTaskFile(const TTask& task, const std::string& programDir);
// The same into the file at path.
Status WriteTaskFileAt(const TTask& task, const std::string& path);

// Builds a task with its objects from a file's text. The task is linked nowhere, in the state
// stored (a running task comes back stopped), its objects in the states stored and in no queue;
// Queued and Total count every object; its FTP login is settings' DefUser and DefPassword. A
// text that does not hold a whole, sound task (a missing line, a number out of range or not a
// number, an object state that is never stored, an object URL given twice, a task directory
// without its final "/", a local name that leaves the task directory) is an error naming its
// line. Memory stays proportional to the text's size.
Result<std::unique_ptr<TTask>> parseTaskFile(std::string_view text, const GlobalOptions& settings);

// parseTaskFile over the file at path, whose name must be the task's own name + ".tsf" (so that
// no two files load as one task and the task is saved where it was read). The file is only read:
// a rejected one stays on disk as it was.
Result<std::unique_ptr<TTask>> ReadTaskFile(const std::string& path, const GlobalOptions& settings);

struct LoadedTaskFiles {
    std::vector<std::unique_ptr<TTask>> tasks;  // in the byte-wise order of their file names
    std::vector<Error> errors;  // one per rejected file, or the directory's when it is unreadable
};

// ReadTaskFile over every "*.tsf" file of the program directory. Nothing is linked anywhere: the
// caller inserts the tasks and puts their objects back to work.
LoadedTaskFiles readAllTaskFiles(const std::string& programDir, const GlobalOptions& settings);

// Write the file of every task, or of every running one. A failure does not stop the others;
// the result holds one error per file not written.
std::vector<Error> SaveAllTasks(const TaskList& tasks, const std::string& programDir);
std::vector<Error> SaveRunningTasks(const TaskList& tasks, const std::string& programDir);

}  // namespace quillharbor
