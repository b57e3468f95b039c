#pragma once

#include <memory>
#include <string>

#include "model/ftp_slot.h"
#include "model/http_slot.h"
#include "platform/message.h"

namespace quillharbor {

struct EngineState;

// What every slot is told when it is created.
struct SlotContext {
    std::string AgentText;  // the HTTP user-agent text
    Handle MainWindow = 0;  // where the slot posts its results
    // The engine state the slot works in: the queue (an automatic retry puts its object back),
    // the seen list, the byte statistics and the settings copies. It outlives the slot.
    EngineState* State = nullptr;
};

// Makes the transfer slots; the engine asks it whenever the settings are applied.
class TransferSlotFactory {
public:
    virtual ~TransferSlotFactory() = default;
    virtual std::unique_ptr<HttpSlot> createHttpSlot(int index, const SlotContext& context) = 0;
    virtual std::unique_ptr<FtpSlot> createFtpSlot(int index, const SlotContext& context) = 0;
};

}  // namespace quillharbor
