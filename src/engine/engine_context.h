#pragma once

#include <cstdint>
#include <string>

#include "engine/engine_services.h"
#include "engine/notify_bit.h"
#include "model/engine_message.h"
#include "model/engine_state.h"
#include "model/task.h"
#include "platform/message.h"
#include "storage/default_task_options.h"
#include "storage/global_options.h"

namespace quillharbor {

// The parts of the engine that its operations share. The engine owns what the references name.
struct EngineContext {
    EngineServices services;
    EngineState& state;
    GlobalOptions& global;
    DefaultTaskOptions& defaults;
    const std::string& programDir;  // ends with "/"
    Handle handle;

    void post(EngineMessage message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) const {
        services.loop.post(handle, messageNumber(message), wParam, lParam);
    }
    std::string taskFilePath(const TTask& task) const { return programDir + task.Name + ".tsf"; }
    // Whether the Notify setting asks for this kind of notification.
    bool notifies(NotifyBit bit) const {
        return (global.Notify & static_cast<std::uint16_t>(bit)) != 0;
    }
};

}  // namespace quillharbor
