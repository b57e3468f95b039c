#pragma once

#include <string>

#include "model/dn_obj.h"
#include "model/task_state.h"

namespace quillharbor {

// How the command-line front end names states to its user.
std::string taskStateWords(TaskState state);
std::string objectStateWords(ObjectState state);

// Whether an object did not arrive whole: nothing usable, a protocol error, an FTP error, or
// part of its file only.
bool objectFailed(const TDnObj& object);

// Whether an object arrived whole (retrieved here, or by another task).
bool objectArrived(const TDnObj& object);

// Why an object failed, in words beside its code: "404 Not Found", "incomplete (1000 of 5000
// bytes)", "802 too many redirects".
std::string failureWords(const TDnObj& object);

// Whether an object's transfer is over for good, whatever its outcome.
bool objectSettled(const TDnObj& object);

}  // namespace quillharbor
