#include "clients/network_slot_factory.h"

#include "clients/hl_ftp_client.h"
#include "clients/hl_http_client.h"

namespace quillharbor {

std::unique_ptr<HttpSlot> NetworkSlotFactory::createHttpSlot(int index, const SlotContext& context) {
    return std::make_unique<THLHTTPClient>(m_loop, index, context);
}

std::unique_ptr<FtpSlot> NetworkSlotFactory::createFtpSlot(int index, const SlotContext& context) {
    return std::make_unique<THLFTPClient>(m_loop, index, context);
}

}  // namespace quillharbor
