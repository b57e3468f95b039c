#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/object_state.h"

namespace quillharbor {

// What rewriting a task's saved HTML needs, copied from the task on the loop's thread and handed
// to the rewriting worker by value: the worker never reads or writes the engine's records. Tasks
// and objects are named by identity (model/message_identity.h), so that the results find the
// records again, or find them gone.
struct RewriteJob {
    struct Object {
        std::uintptr_t identity = 0;
        std::string URL;
        std::string Location;
        std::string LocalName;
        std::string ContentType;
        ObjectState State = ObjectState::Queued;
        std::int64_t Received = 0;
        std::int64_t Size = 0;
    };

    std::uintptr_t task = 0;
    std::string Dir;              // ends with "/"
    bool saveSeparate = false;    // the SaveSeparate setting when the task was queued
    std::vector<Object> objects;  // in the task's list order
};

}  // namespace quillharbor
