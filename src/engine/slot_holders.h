#pragma once

#include "model/dn_obj.h"
#include "model/engine_state.h"
#include "model/task.h"

namespace quillharbor {

// Runs action(slot, object) for every slot of slots that serves an object of task.
template <class Slots, class Action>
void forSlotsServing(const Slots& slots, const TTask& task, Action action) {
    for (const auto& slot : slots) {
        if (TDnObj* object = slot->Obj(); object != nullptr && object->Task == &task) {
            action(*slot, *object);
        }
    }
}

// Runs action(slot) for every slot of slots that holds object.
template <class Slots, class Action>
void forSlotsHolding(const Slots& slots, const TDnObj& object, Action action) {
    for (const auto& slot : slots) {
        if (slot->Obj() == &object) {
            action(*slot);
        }
    }
}

// Some HTTP or FTP slot holds the object.
inline bool heldBySlot(const EngineState& state, const TDnObj& object) {
    bool held = false;
    const auto mark = [&held](TransferSlot&) { held = true; };
    forSlotsHolding(state.HttpSlots, object, mark);
    forSlotsHolding(state.FtpSlots, object, mark);
    return held;
}

}  // namespace quillharbor
