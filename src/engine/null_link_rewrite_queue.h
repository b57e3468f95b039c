#pragma once

#include "engine/link_rewrite_queue.h"

namespace quillharbor {

// No link rewriting: queued tasks are forgotten at once.
class NullLinkRewriteQueue final : public LinkRewriteQueue {
public:
    void QueueTaskForParsing(TTask&) override {}
    void forgetTask(const TTask&) override {}
};

}  // namespace quillharbor
