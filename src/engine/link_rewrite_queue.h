#pragma once

#include "model/task.h"

namespace quillharbor {

// The link-rewriting worker's intake: a finished or stopped task whose saved HTML is to be
// rewritten for offline browsing. Called on the loop's thread; the call only queues the task and
// returns at once. The queue must let go of the task (and never touch its objects again) before
// the task is removed.
class LinkRewriteQueue {
public:
    virtual ~LinkRewriteQueue() = default;
    virtual void QueueTaskForParsing(TTask& task) = 0;
    // The task is about to be removed: a waiting pass is dropped and the results of a running
    // one are never applied.
    virtual void forgetTask(const TTask& task) = 0;
};

}  // namespace quillharbor
