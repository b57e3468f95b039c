#include "model/engine_state.h"

namespace quillharbor {

void EngineState::CreateSlots(TransferSlotFactory* factory, int httpCount, int ftpCount) {
    if (factory == nullptr) {
        return;
    }
    const SlotContext context{AgentText, MainWindow, this};
    for (int index = 0; index < httpCount; ++index) {
        if (auto slot = factory->createHttpSlot(index, context)) {
            HttpSlots.push_back(std::move(slot));
        }
    }
    for (int index = 0; index < ftpCount; ++index) {
        if (auto slot = factory->createFtpSlot(index, context)) {
            FtpSlots.push_back(std::move(slot));
        }
    }
}

void EngineState::FreeSlots() {
    HttpSlots.clear();
    FtpSlots.clear();
}

}  // namespace quillharbor
