#pragma once

#include <cstdint>

#include "model/dn_obj.h"
#include "model/task.h"
#include "model/task_list.h"

namespace quillharbor {

// Messages name tasks and objects by identity, never by pointer, so a message that arrives after
// its task was removed resolves to nothing and is dropped.
//
// A task's identity is its serial in the task list; an object's is its task's serial in the high
// 32 bits and its ordinal in the task in the low 32 bits. Serials are never reused and objects
// never leave their task before the task goes, so an identity names one object for the whole run
// or nothing. 0 names nothing. Identities are given once the task is in the task list.
static_assert(sizeof(std::uintptr_t) >= 8, "object identities need 64-bit message parameters");

std::uintptr_t identityOf(const TTask& task);
std::uintptr_t identityOf(const TDnObj& object);

// The live task or object with this identity, or nullptr.
TTask* taskByIdentity(const TaskList& tasks, std::uintptr_t identity);
TDnObj* objectByIdentity(const TaskList& tasks, std::uintptr_t identity);

}  // namespace quillharbor
