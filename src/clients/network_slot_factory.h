#pragma once

#include <memory>

#include "model/transfer_slot_factory.h"
#include "platform/message_loop.h"

namespace quillharbor {

// Makes the engine's transfer slots on a loop: THLHTTPClient for HTTP, THLFTPClient for FTP. The
// front ends create one and hand it to the engine's services; the loop must outlive every slot
// made.
class NetworkSlotFactory final : public TransferSlotFactory {
public:
    explicit NetworkSlotFactory(MessageLoop& loop) : m_loop(loop) {}

    // context.State is required.
    std::unique_ptr<HttpSlot> createHttpSlot(int index, const SlotContext& context) override;
    std::unique_ptr<FtpSlot> createFtpSlot(int index, const SlotContext& context) override;

private:
    MessageLoop& m_loop;
};

}  // namespace quillharbor
