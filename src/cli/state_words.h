#pragma once

#include <string>

#include "model/dn_obj.h"
#include "model/task_state.h"

namespace quillharbor {

// How the command-line front end names states to its user.
std::string taskStateWords(TaskState state);
std::string objectStateWords(ObjectState state);

// Whether an object ended in failure: nothing usable, a protocol error, an FTP error.
bool objectFailed(const TDnObj& object);

// Whether an object's transfer is over for good, whatever its outcome.
bool objectSettled(const TDnObj& object);

}  // namespace quillharbor
