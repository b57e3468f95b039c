#include "model/message_identity.h"

namespace quillharbor {

namespace {

constexpr unsigned kSerialShift = 32;

}  // namespace

std::uintptr_t identityOf(const TTask& task) {
    return task.Serial;
}

std::uintptr_t identityOf(const TDnObj& object) {
    if (object.Task == nullptr || object.Task->Serial == 0) {
        return 0;
    }
    return (std::uintptr_t{object.Task->Serial} << kSerialShift) | object.Ordinal;
}

TTask* taskByIdentity(const TaskList& tasks, std::uintptr_t identity) {
    if (identity == 0 || identity > UINT32_MAX) {
        return nullptr;
    }
    return tasks.bySerial(static_cast<std::uint32_t>(identity));
}

TDnObj* objectByIdentity(const TaskList& tasks, std::uintptr_t identity) {
    const TTask* task = tasks.bySerial(static_cast<std::uint32_t>(identity >> kSerialShift));
    if (task == nullptr) {
        return nullptr;
    }
    return task->Objects.byOrdinal(static_cast<std::uint32_t>(identity & UINT32_MAX));
}

}  // namespace quillharbor
