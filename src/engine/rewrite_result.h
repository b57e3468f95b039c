#pragma once

#include <cstdint>
#include <vector>

#include "engine/rewrite_job.h"
#include "platform/result.h"

namespace quillharbor {

// One rewriting pass over a task, handed back to the loop's thread. An object takes over what the
// pass changed only while its record still holds what was copied, so that whatever the loop's
// thread did to the task meanwhile wins.
struct RewriteResult {
    std::uintptr_t task = 0;
    std::vector<RewriteJob::Object> before;  // as the job was queued
    std::vector<RewriteJob::Object> after;   // as the pass left them, in the same order
    Status status;                           // the failure that ended the pass early
};

}  // namespace quillharbor
